#include "app/tracer.h"

#include "app/helpviewer.h"
#include "app/tracefilereceiver.h"
#include "chart/settingsstore.h"
#include "mainwindow/tracerwindow.h"
#include "settings/storednumber.h"
#include "trace/node.h"
#include "trace/project.h"
#include "views/widgetitempresenter.h"

#include <QApplication>
#include <QFileInfo>
#include <QSettings>
#include <QSignalBlocker>
#include <QTreeWidgetItem>

#include <memory>

Tracer *theTracer = nullptr;

namespace {

// A recent-list limit: a missing key is written as 5, a value that is no
// number reads as 0, and every value is held to the 0 to 20 the settings
// dialog offers. The store itself keeps what it was given.
int readLimit(QSettings &settings, const QString &key)
{
    constexpr int defaultLimit = 5;
    constexpr int largestLimit = 20;
    if (!settings.contains(key))
        settings.setValue(key, defaultLimit);
    return qBound(0, storedNumber(settings.value(key)), largestLimit);
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
    m_catalogue.reset();
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
    ItemPresenter::install(WidgetItemPresenter::instance());
    if (!m_catalogue)
        m_catalogue = std::make_unique<const EventCatalogue>();
}

void Tracer::openCommandLineFiles()
{
    // One batch: the files are read together and added in the order given.
    QStringList paths;
    const QStringList arguments = QCoreApplication::arguments();
    for (int i = 1; i < arguments.size(); ++i)
        paths.append(QFileInfo(arguments.at(i)).absoluteFilePath());
    m_mainWindow->openNodes(paths, FROM_CMDLINE);
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
    QString problem;
    Node *const node = loadNode(path, parentEntry, origin, problem);
    if (!problem.isEmpty())
        showMessage(QMessageBox::Warning, problem);
    return node;
}

Node *Tracer::loadNode(const QString &path, QTreeWidgetItem *parentEntry, int origin, QString &problem)
{
    return reportRefusal(origin, problem, [&] {
        return m_projects.load(path, parentEntry, origin, m_catalogue.get(), m_loadProgress);
    });
}

Node *Tracer::adoptNode(const QString &path, NodeParse &parse, QTreeWidgetItem *parentEntry, int origin,
                        QString &problem)
{
    return reportRefusal(origin, problem, [&] {
        m_projects.check(path);
        return m_projects.adopt(parse, parentEntry);
    });
}

Node *Tracer::reportRefusal(int origin, QString &problem, const std::function<Node *()> &load)
{
    problem.clear();
    try {
        return load();
    } catch (const QString &text) {
        if (reportsErrorsFor(origin))
            problem = text;
        return nullptr;
    }
}

void Tracer::removeProject(Project *project)
{
    m_projects.remove(project);
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
    // Over the main window, so that it stands on top and takes the keys.
    QMessageBox box(icon, QStringLiteral("Kestrelview"), text, QMessageBox::Ok, m_mainWindow.data());
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
