// TracerWindow: opening trace files and the recent lists of the File group.

#include "mainwindow/tracerwindow.h"

#include "app/tracefilereceiver.h"
#include "app/tracer.h"
#include "mainwindow/batchreader.h"
#include "mainwindow/itemtree.h"
#include "mainwindow/recentlist.h"
#include "trace/node.h"
#include "trace/nodeparse.h"
#include "trace/project.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QProgressDialog>

#include <utility>

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
    openNodes({path}, origin);
}

void TracerWindow::openNodes(const QStringList &paths, int origin)
{
    if (!theTracer)
        return;
    TraceFileReceiver *receiver = m_loading && origin == FROM_RECEIVER ? theTracer->receiver() : nullptr;
    QVector<PendingOpen> batch;
    for (const QString &path : paths)
        batch.append({path, origin, receiver ? receiver->holdAnswer() : nullptr});
    if (m_loading) {
        m_pendingOpens += batch;
        return;
    }
    // Files handed over while a batch loads make up the next one.
    while (!batch.isEmpty()) {
        loadBatch(std::move(batch));
        batch = std::exchange(m_pendingOpens, {});
    }
}

void TracerWindow::showOpened(const QString &path, Node *node)
{
    if (node) {
        addToRecentLists(path);
        m_itemTree->expandItem(m_rootEntry.data());
        if (Project *project = node->project())
            m_itemTree->expandItem(project->treeItem());
    }
    viewNode(node, false);
}

void TracerWindow::loadBatch(QVector<PendingOpen> batch)
{
    QVector<BatchReader::Request> requests;
    for (const PendingOpen &open : std::as_const(batch))
        requests.append({open.path, open.origin});
    BatchReader reader(requests, theTracer->catalogue());

    // A window-modal dialog keeps the user's hands off the window while the
    // bar moves; until it shows, once the load looks like taking longer than
    // the delay, the wait takes no input at all.
    constexpr int steps = 1000;
    const QString label =
        batch.size() == 1
            ? QStringLiteral("Loading tracefile '%1'...").arg(QFileInfo(batch.first().path).fileName())
            : QStringLiteral("Loading %1 tracefiles...").arg(batch.size());
    QProgressDialog progress(label, tr("Cancel"), 0, steps, this);
    progress.setWindowTitle(QStringLiteral("Kestrelview"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(m_progressDelay);
    progress.setValue(0);
    connect(&progress, &QProgressDialog::canceled, this, [&reader] { reader.cancel(); });
    const auto tick = [&] {
        if (const qint64 read = reader.bytesRead(); read > 0)
            progress.setValue(int(qBound(qint64(1), read * steps / reader.totalBytes(), qint64(steps - 1))));
        return progress.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents;
    };

    m_loading = true;
    for (int i = 0; i < batch.size() && reader.waitFor(i, tick); ++i) {
        // The dialog goes before the last load's message, which it would
        // stand over: reset also stops the timer that would show a dialog not
        // yet shown. Earlier messages hide it while they are up.
        if (i == batch.size() - 1)
            progress.reset();
        const PendingOpen &open = batch.at(i);
        QString problem;
        Node *const node =
            theTracer->adoptNode(open.path, reader.result(i), m_rootEntry.data(), open.origin, problem);
        if (!problem.isEmpty()) {
            const bool shown = progress.isVisible();
            progress.hide();
            // Still loading while the message is up: files handed over meanwhile wait.
            theTracer->showMessage(QMessageBox::Warning, problem);
            progress.setVisible(shown);
        }
        showOpened(open.path, node);
        batch[i].answerHold.reset();
    }
    m_loading = false;
}

void TracerWindow::showOpenDialog(const QString &startPath)
{
    const QString caption = tr("Open Tracefiles");
    const QString filter = QStringLiteral("Tracefiles (*.trace *.trace2)");
    const QStringList paths = m_openFilesDialog
                                  ? m_openFilesDialog(this, caption, startPath, filter)
                                  : QFileDialog::getOpenFileNames(this, caption, startPath, filter);
    openNodes(paths, FROM_TRACER);
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
