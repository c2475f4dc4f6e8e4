// TracerWindow: opening trace files and the recent lists of the File group.

#include "mainwindow/tracerwindow.h"

#include "app/tracefilereceiver.h"
#include "app/tracer.h"
#include "mainwindow/itemtree.h"
#include "mainwindow/recentlist.h"
#include "trace/node.h"
#include "trace/project.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QProgressDialog>

namespace {

const RecentList::Kind recentNodes{"application/recent_nodes", "node", "recent_nodes_max_count",
                                   "node_16.png"};
const RecentList::Kind recentProjects{"application/recent_projects", "project", "recent_projects_max_count",
                                      "node_area_16.png"};

// The limits without a controller (tools and tests).
constexpr int defaultRecentLimit = 5;

} // namespace

void TracerWindow::createRecentLists()
{
    m_recentNodes = std::make_unique<RecentList>(recentNodes, m_actionRecentNodes->menu(), this, [] {
        return theTracer ? theTracer->recentNodesMaxCount() : defaultRecentLimit;
    });
    m_recentProjects = std::make_unique<RecentList>(recentProjects, m_actionRecentProjects->menu(), this, [] {
        return theTracer ? theTracer->recentProjectsMaxCount() : defaultRecentLimit;
    });
    m_recentNodes->load();
    m_recentProjects->load();
}

void TracerWindow::addToRecentLists(const QString &path)
{
    m_recentNodes->add(path);
    m_recentProjects->add(QFileInfo(path).absolutePath());
}

void TracerWindow::on_settingsUpdatingNotify(QString key)
{
    m_recentNodes->applySettingChange(key);
    m_recentProjects->applySettingChange(key);
}

void TracerWindow::openNode(const QString &path, int origin)
{
    if (!theTracer)
        return;
    if (m_loading) {
        TraceFileReceiver *receiver = origin == FROM_RECEIVER ? theTracer->receiver() : nullptr;
        m_pendingOpens.append({path, origin, receiver ? receiver->holdAnswer() : nullptr});
        return;
    }
    Node *node = loadWithProgress(path, origin);
    if (node) {
        addToRecentLists(path);
        m_itemTree->expandItem(m_rootEntry.data());
        if (Project *project = node->project())
            m_itemTree->expandItem(project->treeItem());
    }
    viewNode(node, false);

    while (!m_pendingOpens.isEmpty()) {
        const PendingOpen next = m_pendingOpens.takeFirst();
        openNode(next.path, next.origin);
    }
}

Node *TracerWindow::loadWithProgress(const QString &path, int origin)
{
    // The load stays synchronous; a window-modal dialog keeps the user's hands
    // off the window while the bar moves. It shows only once the load looks
    // like taking longer than the delay.
    constexpr int steps = 1000;
    QProgressDialog progress(QStringLiteral("Loading tracefile '%1'...").arg(QFileInfo(path).fileName()),
                             QString(), 0, steps, this);
    progress.setWindowTitle(QStringLiteral("Kestrelview"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(m_progressDelay);
    progress.setValue(0);

    m_loading = true;
    theTracer->setLoadProgress([&progress](qint64 bytesRead, qint64 fileSize) {
        if (fileSize > 0)
            progress.setValue(int(qBound(qint64(1), bytesRead * steps / fileSize, qint64(steps - 1))));
    });
    QString problem;
    Node *const node = theTracer->loadNode(path, m_rootEntry.data(), origin, problem);
    theTracer->setLoadProgress({});
    // The dialog goes before the load's message, which it would stand over:
    // reset also stops the timer that would show a dialog not yet shown.
    progress.reset();
    if (!problem.isEmpty())
        theTracer->showMessage(QMessageBox::Warning, problem);
    // Still loading while the message is up: files handed over meanwhile wait.
    m_loading = false;
    return node;
}

void TracerWindow::showOpenDialog(const QString &startPath)
{
    const QString caption = tr("Open Tracefiles");
    const QString filter = QStringLiteral("Tracefiles (*.trace *.trace2)");
    const QStringList paths = m_openFilesDialog
                                  ? m_openFilesDialog(this, caption, startPath, filter)
                                  : QFileDialog::getOpenFileNames(this, caption, startPath, filter);
    for (const QString &path : paths)
        openNode(path, FROM_TRACER);
}

void TracerWindow::on_action_OpenNode_triggered()
{
    const QString newest = m_recentNodes->newest();
    showOpenDialog(newest.isEmpty() ? QCoreApplication::applicationDirPath() : newest);
}

void TracerWindow::on_addNodeFromReceiver(QString traceFilePath)
{
    openNode(traceFilePath, FROM_RECEIVER);
}

void TracerWindow::on_menu_RecentNodes_triggered(QAction *action)
{
    if (action)
        openNode(action->text(), FROM_TRACER);
}

void TracerWindow::on_menu_RecentProjects_triggered(QAction *action)
{
    if (action)
        showOpenDialog(action->text());
}
