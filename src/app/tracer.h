#pragma once

#include "trace/eventcatalogue.h"
#include "trace/node.h"
#include "trace/projecttable.h"
#include "trace/traceritem.h"

#include <QHash>
#include <QMessageBox>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QProcess>
#include <QSharedPointer>
#include <QVector>

#include <functional>
#include <memory>

class HelpViewer;
class Node;
class NodeParse;
class NodeViewWindow;
class Project;
class QApplication;
class QTreeWidgetItem;
class TraceFileReceiver;
class TracerWindow;

// The application controller: catalogues, open projects, the current
// selection and its broadcasts, the recent-list limits and the help viewer.
class Tracer : public QObject
{
    Q_OBJECT
public:
    Tracer();
    ~Tracer() override;

    // Sets theTracer, builds the catalogues, starts the hand-off receiver,
    // shows the main window and opens the command-line files through it.
    // False when the program cannot start.
    bool init(QApplication *application);
    // The part of init that tools and tests need to load files: theTracer and
    // the catalogues, without receiver or windows.
    void initHeadless();

    void readSettings();
    // Re-reads the limits, then announces each key in list order.
    void updateSettings(const QStringList &keys);

    // Loads a trace file as a node of the project of its directory. Null when
    // nothing was added; the reason has been reported as reportsErrorsFor(origin) allows.
    Node *createNode(const QString &path, QTreeWidgetItem *parentEntry, int origin);
    // As createNode, but the reason for a refusal is handed back in `problem`
    // (left empty when reportsErrorsFor(origin) keeps it quiet) for the caller
    // to show once whatever stands over the load has gone.
    Node *loadNode(const QString &path, QTreeWidgetItem *parentEntry, int origin, QString &problem);
    // As loadNode, for the file at `path` read beforehand (perhaps off the
    // main thread) into `parse`: the same checks and messages, made now.
    Node *adoptNode(const QString &path, NodeParse &parse, QTreeWidgetItem *parentEntry, int origin,
                    QString &problem);
    // Told while createNode reads a file (bytes read, file size); empty for none.
    void setLoadProgress(const Node::LoadProgress &progress) { m_loadProgress = progress; }
    // Drops the project and with it its nodes; null is ignored.
    void removeProject(Project *project);
    bool reportsErrorsFor(int origin) const;
    void setCurTracerItem(TracerItem *item, TracerItem::TracerItemCategory category, int data1, int data2);
    void setExternalHeader(bool external) { m_externalHeader = external; }

    // The event catalogue; built by init or initHeadless, null before.
    const EventCatalogue *catalogue() const { return m_catalogue.get(); }
    const QVector<ServiceInfo> &services() const { return m_catalogue->services(); }
    const QHash<int, SysEventInfo> &sysEvents() const { return m_catalogue->sysEvents(); }
    // The catalogue entry of an event type code; the blank entry when there is none.
    SysEventInfo sysEvent(int code) const { return m_catalogue->sysEvent(code); }
    bool isCatalogued(int code) const { return m_catalogue->isCatalogued(code); }
    const QHash<QString, QSharedPointer<Project>> &projects() const { return m_projects.projects(); }
    Project *project(const QString &directory) const { return m_projects.project(directory); }
    TracerItem *curTracerItem() const { return m_curTracerItem; }
    TracerItem::TracerItemCategory curCategory() const { return m_curCategory; }
    int recentNodesMaxCount() const { return m_recentNodesMaxCount; }
    int recentProjectsMaxCount() const { return m_recentProjectsMaxCount; }
    bool externalHeader() const { return m_externalHeader; }
    QApplication *application() const { return m_application; }
    TraceFileReceiver *receiver() const { return m_receiver.data(); }
    TracerWindow *mainWindow() const { return m_mainWindow.data(); }

    // The entry new projects hang under when there is no main window (tools and tests).
    QTreeWidgetItem *rootEntry() const { return m_rootEntry.get(); }

    // Where messages for the user go. By default a message box titled
    // "Kestrelview" over the main window, when there is one; tools and tests
    // route them elsewhere.
    using MessageSink = std::function<void(QMessageBox::Icon icon, const QString &text)>;
    void setMessageSink(MessageSink sink) { m_messageSink = std::move(sink); }
    void showMessage(QMessageBox::Icon icon, const QString &text) const;

    // Starts the help viewer when it does not run, then writes the command to
    // it (HelpViewer::manualStartCommand() shows the manual's start page).
    // Failures reach the user through showMessage.
    void sendHelpCommand(const QByteArray &command);
    HelpViewer *helpViewer() const { return m_helpViewer; }

signals:
    void curTracerItem_Changed(TracerItem *tracerItem, TracerItem::TracerItemCategory category, int data1,
                               int data2);
    void settingsUpdatingNotify(QString key);
    void curNode_Changed(Node *node, NodeViewWindow *view);

public slots:
    void on_curNode_Changed(Node *node, NodeViewWindow *view);

private:
    void openCommandLineFiles();
    // Runs `load`; a refusal it throws goes to `problem` as reportsErrorsFor(origin) allows.
    Node *reportRefusal(int origin, QString &problem, const std::function<Node *()> &load);

    std::unique_ptr<QTreeWidgetItem> m_rootEntry;
    QSharedPointer<TraceFileReceiver> m_receiver;
    QSharedPointer<TracerWindow> m_mainWindow;
    QApplication *m_application = nullptr;
    std::unique_ptr<const EventCatalogue> m_catalogue;
    ProjectTable m_projects;
    QPointer<TracerItem> m_curTracerItem; // cleared when the item goes away
    TracerItem::TracerItemCategory m_curCategory = TracerItem::NO_SELECTION;
    int m_recentNodesMaxCount = 5;
    int m_recentProjectsMaxCount = 5;
    bool m_reportCmdLineErrors = true;
    bool m_reportReceiverErrors = true;
    HelpViewer *m_helpViewer = nullptr;
    bool m_externalHeader = true;
    Node::LoadProgress m_loadProgress;
    MessageSink m_messageSink;
};

// The one controller, set by init before anything reads it.
extern Tracer *theTracer;
