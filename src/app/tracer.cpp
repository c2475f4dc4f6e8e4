#include "app/tracer.h"

#include "app/helpviewer.h"
#include "app/tracefilereceiver.h"
#include "mainwindow/tracerwindow.h"
#include "settings/settingsstore.h"
#include "trace/node.h"
#include "trace/project.h"

#include <QApplication>
#include <QFileInfo>
#include <QSettings>
#include <QSignalBlocker>
#include <QTreeWidgetItem>

#include <memory>

Tracer *theTracer = nullptr;

namespace {

struct ServiceRow
{
    qint32 code;
    const char *name;
    const char *icon;
    bool targetIsTask;
};

// In matching order: a declared service name takes the first entry whose name
// it contains, and the last entry's empty name is contained in every name.
constexpr ServiceRow serviceRows[] = {
    {0, "START_TASK", "SRV_START_TASK", true},
    {1, "SUSPEND_TASK", "SRV_SUSPEND_TASK", true},
    {2, "RESUME_TASK", "SRV_RESUME_TASK", true},
    {3, "STOP_TASK", "SRV_STOP_TASK", true},
    {4, "ANY_PACKET", "SRV_ANY_PACKET", true},
    {5, "SLEEP_TASK", "SRV_SLEEP_TASK", true},
    {6, "AWAKE_TASK", "SRV_AWAKE_TASK", true},
    {7, "SEND_TO_HUB", "SRV_SEND_TO_HUB", false},
    {9, "RECEIVE_FROM_HUB", "SRV_RECEIVE_FROM_HUB", false},
    {10, "RETURN", "SRV_RETURN", true},
    {255, "", "SRV_OTHER", true},
};

struct SysEventRow
{
    qint32 code;
    const char *name;
    const char *icon;
};

constexpr SysEventRow sysEventRows[] = {
    {0, "L1_TASK_SWITCH", "sys_task_switch"},
    {1, "L1_SERVICE_REQUEST", "sys_service_request"},
    {-1, "L1_SERVICE_COMPLETED", "sys_service_completed"},
    {2, "L1_KERNEL_SERVICING_REQUEST", "sys_kernel_service_request"},
    {-2, "L1_KERNEL_SERVICING_COMPLETED", "sys_kernel_service_completed"},
    {3, "SYNC_MARKER", "sync_marker"},
    {4, "SYNC_PACKET_SENDING", "sync_send_packet"},
    {-4, "SYNC_PACKET_SENDING_NOTIFICATION", "sync_send_packet_notify"},
    {5, "SYNC_PACKET_ROUTING", "sync_pass_packet"},
    {-5, "SYNC_PACKET_ROUTING_NOTIFICATION", "sync_pass_packet_notify"},
    {6, "SYNC_PACKET_RECEIVING", "sync_receive_packet"},
    {-6, "SYNC_PACKET_RECEIVING_NOTIFICATION", "sync_receive_packet_notify"},
    {16, "USER_MARKER", "user_marker"},
    {255, "L1_ISR", "sys_isr"},
};

// The store keeps what it was given; a value that is no number reads as 0.
// A recent-list limit: 5 when missing or no whole number, else held to the
// 0 to 20 the settings dialog offers.
int readLimit(QSettings &settings, const QString &key)
{
    constexpr int defaultLimit = 5;
    if (!settings.contains(key))
        settings.setValue(key, defaultLimit);
    bool ok = false;
    const qlonglong limit = settings.value(key).toLongLong(&ok);
    return ok ? int(qBound(qlonglong(0), limit, qlonglong(20))) : defaultLimit;
}

} // namespace

Tracer::Tracer()
    : m_rootEntry(std::make_unique<QTreeWidgetItem>())
    , m_helpViewer(new HelpViewer(this))
{
    m_helpViewer->setMessageSink([this](const QString &text) { showMessage(QMessageBox::Critical, text); });
    readSettings();
}

Tracer::~Tracer()
{
    // Nobody hears a controller that is going away: the item tree reselects
    // as the project entries go.
    const QSignalBlocker blocker(this);
    delete m_helpViewer;
    m_helpViewer = nullptr;
    m_curTracerItem = nullptr;
    m_projects.clear();
    m_sysEvents.clear();
    m_services.clear();
    m_mainWindow.reset();
    m_receiver.reset();
    if (theTracer == this)
        theTracer = nullptr;
}

bool Tracer::init(QApplication *application)
{
    if (!application)
        return false;
    m_application = application;
    initHeadless();
    try {
        m_receiver.reset(new TraceFileReceiver(nullptr));
        m_mainWindow.reset(new TracerWindow(nullptr, Qt::WindowFlags()));
        m_mainWindow->show();
        openCommandLineFiles();
    } catch (const QString &text) {
        showMessage(QMessageBox::Critical, text);
        return false;
    } catch (...) {
        showMessage(QMessageBox::Critical, QStringLiteral("Unexpected error occurs during initialization."));
        return false;
    }
    return true;
}

void Tracer::initHeadless()
{
    theTracer = this;
    if (m_services.isEmpty())
        buildEventCatalogue();
}

void Tracer::openCommandLineFiles()
{
    // The argument list is fetched anew for every index, as loading a file may
    // run the event loop (a warning box) in between.
    for (int i = 1; i < QCoreApplication::arguments().size(); ++i) {
        const QString path = QFileInfo(QCoreApplication::arguments().at(i)).absoluteFilePath();
        m_mainWindow->openNode(path, FROM_CMDLINE);
    }
}

void Tracer::buildEventCatalogue()
{
    for (const ServiceRow &row : serviceRows) {
        ServiceInfo info;
        info.code = row.code;
        info.name = QLatin1String(row.name);
        info.iconPath = QStringLiteral(":/services/resources/%1.png").arg(QLatin1String(row.icon));
        info.icon = QPixmap(info.iconPath);
        info.targetIsTask = row.targetIsTask;
        m_services.append(info);
    }
    for (const SysEventRow &row : sysEventRows) {
        SysEventInfo info;
        info.code = row.code;
        info.name = QLatin1String(row.name);
        info.iconPath = QStringLiteral(":/sysevents/resources/%1.png").arg(QLatin1String(row.icon));
        info.icon = QPixmap(info.iconPath);
        info.known = true;
        m_sysEvents.insert(row.code, info);
    }
}

void Tracer::readSettings()
{
    QSettings settings = openSettingsStore();
    m_recentNodesMaxCount = readLimit(settings, QStringLiteral("settings/recent_nodes_max_count"));
    m_recentProjectsMaxCount = readLimit(settings, QStringLiteral("settings/recent_projects_max_count"));
}

void Tracer::updateSettings(const QStringList &keys)
{
    readSettings();
    for (const QString &key : keys)
        emit settingsUpdatingNotify(key);
}

Node *Tracer::createNode(const QString &path, QTreeWidgetItem *parentEntry, int origin)
{
    const QFileInfo info(path);
    const QString directory = info.absolutePath();
    const QString name = info.fileName();

    std::unique_ptr<Node> node;
    std::unique_ptr<Project> newProject;
    try {
        if (!info.exists())
            throw QStringLiteral("Tracefile '%1' is not exist.").arg(name);
        // A directory, FIFO or device (also behind a link) has no size to test
        // and may block or never end; only a regular file can hold a trace.
        if (!info.isFile())
            throw QStringLiteral("Can't open tracefile '%1'.").arg(name);
        if (info.size() == 0)
            throw QStringLiteral("Tracefile '%1' is empty.").arg(name);

        Project *project = m_projects.value(directory).data();
        if (project) {
            if (project->node(name))
                throw QStringLiteral("Tracefile '%1' already is opened as Node.").arg(name);
            node = std::make_unique<Node>(path, project, origin, m_loadProgress);
            if (project->containsNodeId(node->nodeId())) {
                throw QStringLiteral("Tracefile '%1' has ID:%2 that already is in use in current project.")
                    .arg(name)
                    .arg(node->nodeId());
            }
        } else {
            newProject = std::make_unique<Project>(directory, parentEntry);
            project = newProject.get();
            node = std::make_unique<Node>(path, project, origin, m_loadProgress);
        }
        Node *const added = node.release();
        project->addNode(added);
        if (newProject)
            m_projects.insert(directory, QSharedPointer<Project>(newProject.release()));
        return added;
    } catch (const QString &text) {
        // The node goes before its project: its entries hang under the project's.
        node.reset();
        newProject.reset();
        if (reportsErrorsFor(origin))
            showMessage(QMessageBox::Warning, text);
        return nullptr;
    }
}

void Tracer::removeProject(Project *project)
{
    if (!project)
        return;
    m_projects.remove(project->path());
}

bool Tracer::reportsErrorsFor(int origin) const
{
    switch (origin) {
    case FROM_TRACER:
        return true;
    case FROM_CMDLINE:
        return m_reportCmdLineErrors;
    case FROM_RECEIVER:
        return m_reportReceiverErrors;
    default:
        return false;
    }
}

void Tracer::setCurTracerItem(TracerItem *item, TracerItem::TracerItemCategory category, int data1, int data2)
{
    m_curTracerItem = item;
    m_curCategory = category;
    emit curTracerItem_Changed(item, category, data1, data2);
}

void Tracer::showMessage(QMessageBox::Icon icon, const QString &text) const
{
    if (m_messageSink) {
        m_messageSink(icon, text);
        return;
    }
    QMessageBox box(icon, QStringLiteral("Kestrelview"), text, QMessageBox::Ok);
    box.exec();
}

void Tracer::sendHelpCommand(const QByteArray &command)
{
    m_helpViewer->sendCommand(command);
}

void Tracer::on_curNode_Changed(Node *node, NodeViewWindow *view)
{
    emit curNode_Changed(node, view);
}
