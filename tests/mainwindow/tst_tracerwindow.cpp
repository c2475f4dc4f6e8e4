#include "app/tracer.h"
#include "chart/chartmetrics.h"
#include "chart/chartsettings.h"
#include "chart/timetext.h"
#include "chart/viewitem.h"
#include "chart/viewroot.h"
#include "mainwindow/chartstatusbar.h"
#include "mainwindow/itemtree.h"
#include "mainwindow/tracerwindow.h"
#include "settings/settingswindow.h"
#include "testsupport.h"
#include "trace/hub.h"
#include "trace/node.h"
#include "trace/project.h"
#include "tracefixture.h"
#include "views/bookmarkpanel.h"
#include "views/chartoverview.h"
#include "views/eventchart.h"
#include "views/eventchartcanvas.h"
#include "views/nodeviewwindow.h"
#include "views/taskstatchart.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QInputDialog>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QtTest>

#include <cstdlib>
#include <memory>

using TestSupport::settingsStore;
using TraceFixture::eventXml;

namespace {

// Node `nodeId` with tasks 1 and 2 and hub 3; task 1 runs, then task 2.
QByteArray trace(int nodeId)
{
    return TraceFixture::traceFile(
        nodeId,
        "<tasks><task id=\"1\" name=\"First\"/><task id=\"2\" name=\"Second\"/></tasks>"
        "<hubs><hub id=\"3\" name=\"Box\"/></hubs>\n",
        eventXml(0, 0, 0, nodeId << 8 | 1) + eventXml(0, 100, 0, nodeId << 8 | 2) + eventXml(1, 250));
}

// Node 1 switching between tasks 1 and 2 `count` times, 10 usec apart: long enough to load for a while.
QByteArray switches(int count)
{
    QByteArray events;
    for (int i = 0; i < count; ++i)
        events += eventXml(0, quint32(i) * 10, 0, 1 << 8 | (1 + i % 2));
    return TraceFixture::traceFile(
        1, "<tasks><task id=\"1\" name=\"A\"/><task id=\"2\" name=\"B\"/></tasks>\n", events);
}

// Declares a task and a hub, each drawing a colour, then refuses an event without its attributes.
QByteArray refusedAfterDeclarations()
{
    return TraceFixture::traceFile(
        5, "<tasks><task id=\"1\" name=\"T\"/></tasks><hubs><hub id=\"2\" name=\"H\"/></hubs>\n",
        "<event type=\"0\"/>\n");
}

// Every entry under `entry`, indented by depth, with the colour of the task or hub it stands for.
void dumpEntries(const QTreeWidgetItem *entry, int depth, QStringList &lines)
{
    QString line = QString(depth, QLatin1Char(' ')) + entry->text(0);
    if (const auto *item = qobject_cast<const NodeItem *>(TracerItem::itemFromData(entry->data(0, ItemRole))))
        line += QLatin1Char(' ') + item->colour().name();
    lines << line;
    for (int i = 0; i < entry->childCount(); ++i)
        dumpEntries(entry->child(i), depth + 1, lines);
}

QStringList words(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QStringList cellTexts(const QTableWidget &table)
{
    QStringList texts;
    for (int row = 0; row < table.rowCount(); ++row) {
        for (int column = 0; column < table.columnCount(); ++column)
            texts.append(table.item(row, column) ? table.item(row, column)->text() : QString());
    }
    return texts;
}

} // namespace

class TestTracerWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Tracer> m_tracer;
    std::unique_ptr<TracerWindow> m_window;
    QList<Node *> m_nodes; // what openView and showTree opened
    QStringList m_messages;
    int m_dirCount = 0;

    // A trace file of node `nodeId` in this test's own directory.
    QString traceFile(const char *name, int nodeId)
    {
        return TestSupport::writeTempFile(QStringLiteral("dir%1").arg(m_dirCount), QString::fromUtf8(name),
                                          trace(nodeId));
    }

    Node *open(const char *name, int nodeId)
    {
        const QString path = traceFile(name, nodeId);
        m_window->openNode(path, FROM_TRACER);
        return openedNode(path);
    }

    // The files of a batch: "dir/name=kind", kind a node id, "missing" or "refused".
    QStringList batchFiles(const QStringList &files)
    {
        QStringList paths;
        for (const QString &file : files) {
            const QString where = file.section(QLatin1Char('='), 0, 0);
            const QString kind = file.section(QLatin1Char('='), 1);
            paths << TestSupport::writeTempFile(
                QStringLiteral("batch%1/").arg(m_dirCount) + where.section(QLatin1Char('/'), 0, 0),
                where.section(QLatin1Char('/'), 1),
                kind == QLatin1String("refused") ? refusedAfterDeclarations() : trace(kind.toInt()));
            if (kind == QLatin1String("missing"))
                QFile::remove(paths.last());
        }
        return paths;
    }

    // A fresh controller and window with an empty store, rand() seeded alike.
    void restart()
    {
        cleanup();
        init();
        --m_dirCount;
        m_window = std::make_unique<TracerWindow>();
        std::srand(7);
    }

    // What loading left: the messages, the tree with the colours, the recent lists and where rand() is.
    QStringList loadedState() const
    {
        QStringList state = m_messages;
        dumpEntries(m_window->rootEntry(), 0, state);
        state << entryTexts("menu_RecentNodes") << entryTexts("menu_RecentProjects")
              << QString::number(std::rand());
        return state;
    }

    QAction *action(const char *name) const { return m_window->findChild<QAction *>(QLatin1String(name)); }

    bool groupEnabled(int group) const { return m_window->menuBar()->actions().at(group)->isEnabled(); }

    // How many of the Views, View and Navigate groups are enabled.
    int viewGroups() const
    {
        return int(groupEnabled(TracerWindow::VIEWS_GROUP)) + int(groupEnabled(TracerWindow::VIEW_GROUP)) +
               int(groupEnabled(TracerWindow::NAVIGATE_GROUP));
    }

    QList<NodeViewWindow *> views() const
    {
        QList<NodeViewWindow *> list;
        const auto windows = m_window->mdiArea()->subWindowList(QMdiArea::CreationOrder);
        for (QMdiSubWindow *window : windows)
            list.append(qobject_cast<NodeViewWindow *>(window));
        return list;
    }

    // Each view as "number:viewed node count", oldest first.
    QStringList viewTexts() const
    {
        QStringList texts;
        for (const NodeViewWindow *view : views())
            texts << QStringLiteral("%1:%2").arg(view->number()).arg(view->viewedNodeCount());
        return texts;
    }

    Node *openedNode(const QString &path) const
    {
        const QFileInfo info(path);
        Project *project = m_tracer->project(info.absolutePath());
        return project ? project->node(info.fileName()) : nullptr;
    }

    // The item tree's entry `name` of `node`, or the root entry.
    QTreeWidgetItem *entry(Node *node, const QString &name) const
    {
        const QMap<QString, QTreeWidgetItem *> entries{
            {QStringLiteral("project"), node->project()->treeItem()},
            {QStringLiteral("node"), node->treeItem()},
            {QStringLiteral("hub"), node->hubs().value(3)->treeItem()},
            {QStringLiteral("hubs"), node->hubFolder()}};
        return entries.value(name, m_window->rootEntry());
    }

    // Makes an entry of `node` current; "range" picks events 0 to 2 in an event list instead.
    void choose(Node *node, const QString &name)
    {
        if (name == QLatin1String("range"))
            m_tracer->setCurTracerItem(node, TracerItem::TASK_EVENT_RANGE, 0, 2);
        else
            m_window->itemTree()->setCurrentItem(entry(node, name));
    }

    // Right-clicks the entry, closes whatever menu pops up and tells which it was.
    QMenu *rightClick(QTreeWidgetItem *target)
    {
        QPointer<QMenu> shown;
        QTimer closer;
        closer.setSingleShot(true);
        connect(&closer, &QTimer::timeout, this, [&] {
            if ((shown = qobject_cast<QMenu *>(QApplication::activePopupWidget())))
                shown->close();
        });
        closer.start(0);
        ItemTree *tree = m_window->itemTree();
        const QPoint pos = tree->visualItemRect(target).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, tree->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(tree->viewport(), &event);
        // No menu: the timer is still to fire.
        for (int round = 0; closer.isActive() && round < 100; ++round)
            QTest::qWait(10);
        return shown;
    }

    QStringList entryTexts(const char *menuName) const
    {
        QStringList texts;
        const auto entries = m_window->findChild<QMenu *>(QLatin1String(menuName))->actions();
        for (const QAction *entry : entries)
            texts.append(entry->text());
        return texts;
    }

    void showWindow()
    {
        m_window = std::make_unique<TracerWindow>();
        m_window->resize(1000, 700);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    // A shown window with a view of node a (1), or of nodes a and b (2) of one project, the view active.
    NodeViewWindow *openView(int nodes)
    {
        showWindow();
        m_nodes = {open("a.trace", 1)};
        if (nodes > 1)
            m_nodes << open("b.trace", 2);
        m_window->mdiArea()->setActiveSubWindow(views().first());
        return views().first();
    }

    // A shown window with nodes a (1) and b (2) of one project loaded into its expanded tree, none viewed.
    void showTree()
    {
        showWindow();
        for (int id = 1; id <= 2; ++id)
            m_nodes << m_tracer->createNode(traceFile(id == 1 ? "a.trace" : "b.trace", id),
                                            m_window->rootEntry(), FROM_TRACER);
        m_window->itemTree()->expandAll();
    }

private slots:
    void init()
    {
        settingsStore().clear();
        ++m_dirCount;
        m_messages.clear();
        m_nodes.clear();
        m_tracer = std::make_unique<Tracer>();
        m_tracer->initHeadless();
        m_tracer->setMessageSink([this](QMessageBox::Icon, const QString &text) { m_messages.append(text); });
    }

    void cleanup()
    {
        m_window.reset();
        m_tracer.reset();
        // Views closed on their own go through the event loop.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void firstStartShowsOnlyFileTracerAndHelpAndPanelTogglesHideTheSplitterLast()
    {
        showWindow();
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Kestrelview 3.5.3.2"));
        QVERIFY(action("action_ModeTabs")->isChecked());
        QStringList groups;
        for (const QAction *group : m_window->menuBar()->actions())
            groups << group->text() + QLatin1Char('=') + QString::number(group->isEnabled());
        QCOMPARE(groups, words("File=1 Tracer=1 Views=0 Project=0 Node=0 View=0 Navigate=0 Help=1"));
        // The context menus share the disabled Node group's actions and still offer them.
        for (QAction *entry : m_window->nodeContextMenu()->actions())
            QVERIFY2(entry->isSeparator() || entry->isEnabled(), qPrintable(entry->text()));
        // The Value column takes the width the Property column leaves; the statistics start at about half the
        // height of each other panel.
        QCOMPARE(m_window->propertyTable()->horizontalHeader()->sectionViewportPosition(1) +
                     m_window->propertyTable()->horizontalHeader()->sectionSize(1),
                 m_window->propertyTable()->viewport()->width());
        QCOMPARE(m_window->leftSplitter()->sizes(), (QList<int>{242, 243, 126})); // px, at 1000 by 700
        const QList<QAction *> toggles{action("action_ToggleItemTree"), action("action_TogglePropBrowser"),
                                       action("action_ToggleTaskStats")};
        const QList<QWidget *> panels{m_window->itemTree(), m_window->propertyTable(),
                                      m_window->taskStatsArea()};
        for (int panel = 0; panel < 3; ++panel) // every panel starts shown, its toggle checked
            QVERIFY(toggles.at(panel)->isChecked() && panels.at(panel)->isVisibleTo(m_window.get()));
        // Sets of shown panels (bit i: panel i), each panel once the last to go: the splitter goes with it.
        for (const int shown : {7, 6, 4, 0, 1, 0, 3, 2, 0, 5, 7}) {
            for (int panel = 0; panel < 3; ++panel) {
                if (toggles.at(panel)->isChecked() != bool(shown & 1 << panel))
                    toggles.at(panel)->trigger();
                QCOMPARE(panels.at(panel)->isVisibleTo(m_window.get()), bool(shown & 1 << panel));
            }
            QCOMPARE(m_window->leftSplitter()->isVisible(), shown != 0);
        }

        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        int asked = 0;
        m_window->setOpenFilesDialog([&asked](QWidget *, const QString &, const QString &, const QString &) {
            ++asked;
            return QStringList{};
        });
        QTest::keyClick(m_window.get(), Qt::Key_N, Qt::ControlModifier);
        QTest::keyClick(m_window.get(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(asked, 2);
        QCOMPARE(action("action_OpenNode")->toolTip(), QStringLiteral("Open Node Tracefile (Ctrl+N)"));
        // Closed as by its close box, which ends the program, not merely hidden.
        QPointer<TracerWindow> window = m_window.release();
        window->setAttribute(Qt::WA_DeleteOnClose);
        QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!window);
    }

    void geometryRoundTripsThroughTheStore_data()
    {
        QTest::addColumn<QString>("stored"); // "key=value" pairs
        QTest::addColumn<QRect>("read");
        QTest::addColumn<QString>("written"); // after a move to 20,30 and a resize to 700 by 520
        const QString moved = QStringLiteral("height=520 width=700 left=20 top=30 maximized=false");
        QTest::newRow("an empty store places the window at 0,0 in 500 by 400")
            << QString() << QRect(0, 0, 500, 400) << moved;
        QTest::newRow("a stored maximized flag maximizes the window, which keeps the earlier normal geometry")
            << QStringLiteral("width=300 height=200 left=7 top=8 maximized=true") << QRect(7, 8, 300, 200)
            << QStringLiteral("height=200 width=300 left=7 top=8 maximized=true");
    }

    void geometryRoundTripsThroughTheStore()
    {
        QFETCH(QString, stored);
        QFETCH(QString, written);
        const QString group = QStringLiteral("application/main_window/");
        for (const QString &pair : stored.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            settingsStore().setValue(group + pair.section(QLatin1Char('='), 0, 0),
                                     pair.section(QLatin1Char('='), 1));
        const bool maximized = stored.contains(QLatin1String("maximized"));
        m_window = std::make_unique<TracerWindow>();
        QTEST(QRect(m_window->pos(), m_window->size()), "read");
        QCOMPARE(m_window->windowState().testFlag(Qt::WindowMaximized), maximized);
        m_window->resize(700, 520);
        m_window->move(20, 30);
        if (maximized)
            m_window->setWindowState(m_window->windowState() | Qt::WindowMaximized);
        m_window.reset();

        QStringList keys = words("height width left top maximized");
        for (QString &key : keys)
            key += QLatin1Char('=') + settingsStore().value(group + key).toString();
        QCOMPARE(keys.join(QLatin1Char(' ')), written);
    }

    void rightClickingAnEntryMakesItCurrentSwitchesGroupsFillsPropertiesAndOffersItsMenu_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("category");   // of the item then current; NONE: there is none
        QTest::addColumn<bool>("nodeGroup"); // the Project group goes with any item
        QTest::addColumn<QString>("menu");   // object name; empty: none
        QTest::newRow("a project entry enables Project, disables Node and offers the project menu")
            << QStringLiteral("project") << int(TracerItem::PROJECT) << false
            << QStringLiteral("projectContextMenu");
        QTest::newRow("a node entry enables Project and Node and offers the node menu")
            << QStringLiteral("node") << int(TracerItem::NODE) << true << QStringLiteral("nodeContextMenu");
        QTest::newRow("a hub entry enables Project and Node and offers no menu")
            << QStringLiteral("hub") << int(TracerItem::HUB) << true << QString();
        QTest::newRow(
            "the root entry resets the current item, disables both, empties the browser, offers no menu")
            << QStringLiteral("root") << int(TracerItem::NONE) << false << QString();
    }

    void rightClickingAnEntryMakesItCurrentSwitchesGroupsFillsPropertiesAndOffersItsMenu()
    {
        QFETCH(QString, target);
        QFETCH(int, category);
        showTree();
        Node *node = m_nodes.first();
        // The other node's longer table first: what it leaves behind must not show.
        choose(m_nodes.last(), QStringLiteral("node"));
        QVERIFY(m_window->propertyTable()->rowCount() > 0);
        QTreeWidgetItem *clicked = entry(node, target);
        const QMenu *shown = rightClick(clicked);
        QCOMPARE(m_window->itemTree()->currentItem(), clicked);
        QTEST(shown ? shown->objectName() : QString(), "menu");

        const QMap<int, TracerItem *> items{{TracerItem::PROJECT, node->project()},
                                            {TracerItem::NODE, node},
                                            {TracerItem::HUB, node->hubs().value(3).data()}};
        TracerItem *expected = items.value(category);
        QCOMPARE(m_tracer->curTracerItem(), expected);
        QCOMPARE(groupEnabled(TracerWindow::PROJECT_GROUP), expected != nullptr);
        QTEST(groupEnabled(TracerWindow::NODE_GROUP), "nodeGroup");
        QTableWidget table(0, 2);
        if (expected)
            expected->fillProperties(TracerItem::TracerItemCategory(category), &table, 0, 0);
        QCOMPARE(cellTexts(*m_window->propertyTable()), cellTexts(table));
    }

    void openingThroughTheDialogLoadsAndViewsTheChosenFiles()
    {
        m_window = std::make_unique<TracerWindow>();
        const QStringList paths{traceFile("a.trace", 1), traceFile("b.trace2", 2)};
        QStringList asked;
        m_window->setOpenFilesDialog(
            [&](QWidget *parent, const QString &caption, const QString &dir, const QString &filter) {
                asked << QStringList{QString::number(parent == m_window.get()), caption, dir, filter}.join(
                    QLatin1Char('|'));
                return paths;
            });
        action("action_OpenNode")->trigger();
        // An empty recent list starts in the program's directory.
        QCOMPARE(asked,
                 QStringList{QStringLiteral("1|Open Tracefiles|") + QCoreApplication::applicationDirPath() +
                             QStringLiteral("|Tracefiles (*.trace *.trace2)")});
        // Both share their project's one view, the last one opened current.
        QCOMPARE(viewTexts(), QStringList{QStringLiteral("0:2")});
        QCOMPARE(viewGroups(), 3);
        QCOMPARE(views().first()->currentNode(), openedNode(paths.last()));
        QVERIFY(m_window->findChild<QMenu *>(QStringLiteral("viewListMenu"))
                    ->actions()
                    .contains(views().first()->viewAction()));
        const QTreeWidgetItem *projectEntry = openedNode(paths.first())->project()->treeItem();
        QCOMPARE(projectEntry->parent(), m_window->rootEntry());
        QVERIFY(m_window->rootEntry()->isExpanded() && projectEntry->isExpanded());
    }

    void viewingAllProjectNodesGoesByNodeId()
    {
        // A fixed seed, so that the project's hash order is the same every run, and not by node id.
        QHashSeed::setDeterministicGlobalSeed();
        m_window = std::make_unique<TracerWindow>();
        const QList<int> ids{30, 4, 17, 9, 1};
        Project *project = nullptr;
        for (int i = 0; i < ids.size(); ++i) {
            const QString path = traceFile(qPrintable(QStringLiteral("n%1.trace").arg(i)), ids.at(i));
            project = m_tracer->createNode(path, m_window->rootEntry(), FROM_TRACER)->project();
        }
        QHashSeed::resetRandomGlobalSeed();

        choose(project->nodeById(4), QStringLiteral("project"));
        action("action_ViewNodes")->trigger();
        const NodeViewWindow *view = views().first();
        QStringList chooser;
        for (int i = 0; i < view->nodeChooser()->count(); ++i)
            chooser << view->nodeChooser()->itemText(i).section(QLatin1Char(' '), 0, 0);
        QCOMPARE(chooser << view->currentNode()->name(), words("[1] [4] [9] [17] [30] n30"));
    }

    void closingAViewedCurrentNodeLeavesNothingBehind_data()
    {
        QTest::addColumn<int>("nodes");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("nodesLeft"); // after Close Node
        QTest::newRow("closing one of two nodes keeps the view with the other")
            << 2 << QStringLiteral("node") << 1;
        QTest::newRow("closing the only node from its hub folder closes its view and project")
            << 1 << QStringLiteral("hubs") << 0;
        QTest::newRow("an event-list selection closes no node") << 2 << QStringLiteral("range") << 2;
    }

    void closingAViewedCurrentNodeLeavesNothingBehind()
    {
        QFETCH(int, nodes);
        QFETCH(QString, selected);
        QFETCH(int, nodesLeft);
        QPointer<NodeViewWindow> view = openView(nodes);
        QPointer<Node> node = m_nodes.first();
        QPointer<Project> project = node->project();
        view->showNode(node); // the closed node is the one the view shows
        choose(node, QStringLiteral("node"));
        choose(node, selected);
        m_tracer->on_curNode_Changed(node, view);
        QCOMPARE(m_window->taskStatChart()->node(), node.data());

        action("action_CloseNode")->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        const bool any = nodesLeft > 0;
        QCOMPARE((QList<bool>{bool(node), bool(project), bool(view), groupEnabled(TracerWindow::NODE_GROUP)}),
                 (QList<bool>{nodesLeft == nodes, any, any, nodesLeft == nodes}));
        QCOMPARE(m_window->rootEntry()->childCount(), any ? 1 : 0);
        QCOMPARE(viewTexts(), any ? QStringList{QStringLiteral("0:%1").arg(nodesLeft)} : QStringList());
        QCOMPARE(viewGroups(), any ? 3 : 0);
        if (nodesLeft < nodes)
            QVERIFY(!m_tracer->curTracerItem() || m_tracer->curTracerItem()->category() != TracerItem::NODE);
        if (!any)
            QVERIFY(!m_tracer->curTracerItem() && !m_window->propertyTable()->rowCount() &&
                    !m_window->taskStatChart()->node());
    }

    void recentListsKeepTheNewestFirstWithinTheirLimits()
    {
        m_window = std::make_unique<TracerWindow>(); // limits of five
        // Opened again, an entry moves to the top or stays there; a sixth entry drops the oldest.
        for (const QString &name : words("p/a q/b p/a p/a r/c s/d t/e u/f"))
            m_window->addToRecentLists(QStringLiteral("/r/%1.trace").arg(name));
        const QStringList nodes = words("/r/u/f.trace /r/t/e.trace /r/s/d.trace /r/r/c.trace /r/p/a.trace");
        const QStringList projects = words("/r/u /r/t /r/s /r/r /r/p");
        // Written when the window goes, read back by the next one.
        m_window.reset();
        m_window = std::make_unique<TracerWindow>();
        QCOMPARE(entryTexts("menu_RecentNodes") + entryTexts("menu_RecentProjects"), nodes + projects);

        // A limit changed in the dialog rebuilds only its own list; entries it dropped stay dropped when it
        // rises again. The dialog is modal, and a hidden one does not stay around until the window goes.
        QPointer<SettingsWindow> previous;
        for (const int limit : {2, 5}) {
            action("action_Settings")->trigger();
            SettingsWindow *dialog = m_window->settingsWindow();
            QVERIFY(!previous && dialog->isVisible() && dialog->isModal());
            qobject_cast<QSpinBox *>(dialog->editor(QStringLiteral("recent_nodes_max_count")))
                ->setValue(limit);
            dialog->findChild<QPushButton *>(QStringLiteral("settings_OK"))->click();
            previous = dialog;
        }
        QCOMPARE(entryTexts("menu_RecentNodes") + entryTexts("menu_RecentProjects"),
                 nodes.mid(0, 2) + projects);

        // The open dialog starts at the newest node, or at the project picked from its list.
        QStringList startedIn;
        m_window->setOpenFilesDialog([&](QWidget *, const QString &, const QString &dir, const QString &) {
            startedIn << dir;
            return QStringList{};
        });
        action("action_OpenNode")->trigger();
        m_window->findChild<QMenu *>(QStringLiteral("menu_RecentProjects"))->actions().at(1)->trigger();
        QCOMPARE(startedIn, (QStringList{nodes.first(), projects.at(1)}));
        QVERIFY(m_tracer->projects().isEmpty());
    }

    void chartCommandsReachTheCurrentView()
    {
        NodeViewWindow *view = openView(1);
        QAction *toggle = action("action_EventChart_ToggleMode");
        QAction *logMode = action("action_EventChart_LogMode");
        toggle->trigger(); // F9 on a one-node view switches to logarithmic and back
        QVERIFY(!view->isLinearMode());
        QCOMPARE(toggle->text(), QStringLiteral("Logarythmic Mode (F9)"));
        toggle->trigger();
        QVERIFY(view->isLinearMode());
        // Several nodes share one axis only in linear time: a second one turns the view linear.
        logMode->trigger();
        open("b.trace", 2);
        QVERIFY(view->isLinearMode() && !logMode->isEnabled());
        QCOMPARE(toggle->text(), QStringLiteral("Linear Mode (F9)"));
        QAction *zoomOut = action("action_EventChart_ZoomOut");
        // A fitted chart cannot zoom out any further.
        QTRY_VERIFY(!zoomOut->isEnabled());
        action("action_EventChart_ZoomIn")->trigger();
        QVERIFY(zoomOut->isEnabled());

        QAction *header = action("action_EventChart_ToggleHeader");
        header->trigger();
        QVERIFY(!m_tracer->externalHeader());
        QCOMPARE(header->text() + QLatin1Char('|') + header->toolTip(),
                 QStringLiteral("Internal Header|Internal Header (F10)"));
        // The View menu's own entries place the header whatever it was.
        action("action_EventChart_ExternalHeader")->trigger();
        QVERIFY(m_tracer->externalHeader());
        action("action_EventChart_InternalHeader")->trigger();
        QVERIFY(!m_tracer->externalHeader());
    }

    // Times from the chart's own scale and scroll, so that a status bar reading another node's
    // shift, the scroll or the header's width shows.
    void statusBarTellsTheTimeNodeAndRowUnderTheMouseAndFollowsZoomAndSelection()
    {
        NodeViewWindow *view = openView(2);
        EventChart *chart = view->chart();
        const ChartStatusBar *status = m_window->chartStatus();
        const auto timeAt = [chart](int x) {
            return (double(x) + chart->horizontalScrollBar()->value()) / double(chart->scale());
        };
        // The first task row of the second node: root, node a with its rows, node b, "Tasks:".
        const int row = chart->root()->child(1)->row() + 2;
        const QPoint at(chart->headerShift() + 40, row * ChartMetrics::rowHeight + 3);
        const ViewItem *item = chart->itemAt(at);
        QTest::mouseMove(chart->canvas(), at);
        const ViewNode *b = item->viewNode();
        const double t = timeAt(40);
        const qint64 own = b->node()->events().front().timestamp + qint64(t - b->shift());
        QCOMPARE(status->pointerText(), QStringLiteral("Time %1   %2 clock %3 %4s   Row %5")
                                            .arg(TimeText::instant(t), b->node()->name())
                                            .arg(own)
                                            .arg(QChar(0x00B5))
                                            .arg(item->label()));

        action("action_EventChart_ZoomIn")->trigger(); // the mouse stays, the time under it changes
        const int width = chart->viewport()->width() - chart->headerShift();
        QCOMPARE(status->rangeText(),
                 QStringLiteral("View %1 \u2013 %2 (%3)")
                     .arg(TimeText::instant(timeAt(0)), TimeText::instant(timeAt(width - 1)),
                          TimeText::span(timeAt(width - 1) - timeAt(0))));
        QVERIFY(status->pointerText().startsWith(QStringLiteral("Time ") + TimeText::instant(timeAt(40))));

        emit view->selectionWasChanged(2, 1);
        const std::vector<TraceEvent> &events = view->currentNode()->events();
        QCOMPARE(status->selectionText(),
                 QStringLiteral("Selection ") +
                     TimeText::span(events[2].offset + events[2].duration - events[1].offset));

        QVERIFY(m_window->statusBar()->isVisible());
        view->close(); // the last view takes the bar and its texts with it
        QTRY_VERIFY(!m_window->statusBar()->isVisible());
        QVERIFY(status->pointerText().isEmpty() && status->rangeText().isEmpty());
    }

    // After a zoom in by three steps and a selection of event 0 (100 us of 250), each navigate key's scale
    // against the zoomed one, whether a step back is left and whether the view is fitted. Then Ctrl+B names
    // and adds a bookmark at the selection's start; the panel lists it and Shift+F2 brings it back into
    // view; the Overview entry hides every chart's strip through the stored setting.
    void navigateAndBookmarkKeysReachTheCurrentView()
    {
        EventChart *chart = openView(1)->chart();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        const QAction *back = action("action_Navigate_Back");
        QVERIFY(!back->isEnabled());
        chart->zoomAt(3, 0);
        const float zoomed = chart->scale();
        NodeViewState &state = (*chart->viewStates())[m_nodes.first()->traceFileName()];
        state.selFirst = state.selLast = 0;
        QStringList steps;
        for (const QKeyCombination key :
             {Qt::CTRL | Qt::Key_0, Qt::ALT | Qt::Key_Left, QKeyCombination(Qt::Key_Z),
              Qt::ALT | Qt::Key_Left, Qt::ALT | Qt::Key_Left}) {
            QTest::keyClick(m_window.get(), key.key(), key.keyboardModifiers());
            const float scale = chart->scale();
            steps << words("less same more").at(int(scale >= zoomed) + int(scale > zoomed)) +
                         QLatin1String(back->isEnabled() ? "+back" : "") +
                         QLatin1String(chart->canZoomOut() ? "" : "+fitted");
        }
        QCOMPARE(steps, words("less+back+fitted same+back more+back same+back less+fitted"));

        state.selFirst = state.selLast = 1;
        QTimer::singleShot(0, [] {
            auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->setTextValue(QStringLiteral("boot"));
            dialog->accept();
        });
        QTest::keyClick(m_window.get(), Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(m_window->bookmarkPanel()->table()->item(0, 0)->text(), QStringLiteral("boot"));
        const double at = m_nodes.first()->events()[1].offset;
        chart->zoomAt(6, 0);
        chart->horizontalScrollBar()->setValue(chart->horizontalScrollBar()->maximum());
        m_window->activateWindow(); // back from the name dialog
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTest::keyClick(m_window.get(), Qt::Key_F2, Qt::ShiftModifier);
        QVERIFY(chart->timeAtViewportX(chart->headerShift()) <= at &&
                at <= chart->timeAtViewportX(chart->viewport()->width() - 1));

        QVERIFY(chart->overview()->isVisibleTo(chart));
        action("action_Navigate_Overview")->trigger();
        QVERIFY(!chart->overview()->isVisibleTo(chart) && !ChartSettings::read().showOverview);

        // The panel closed by its own close box unchecks its entry.
        QAction *panel = action("action_Navigate_Bookmarks");
        panel->setChecked(true);
        m_window->bookmarkPanel()->close();
        QVERIFY(!panel->isChecked());
    }

    void arrangingAndClosingViews_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("answer"); // QMessageBox button pressed when asked, 0 when not asked
        QTest::addColumn<int>("viewsLeft");
        QTest::newRow("tiling vertically gives each of three views a third of the height")
            << QStringLiteral("action_TileViewsVertically") << 0 << 3;
        QTest::newRow("fitting gives every view the whole area")
            << QStringLiteral("action_UnwrapViews") << 0 << 3;
        QTest::newRow("closing the active view's project keeps the others tabbed")
            << QStringLiteral("action_CloseProject") << 0 << 2;
        QTest::newRow("answering Yes to closing all closes them and disables the view groups")
            << QStringLiteral("action_CloseAllViews") << int(QMessageBox::Yes) << 0;
        QTest::newRow("closing the last view by its own button disables the view groups")
            << QStringLiteral("own buttons") << 0 << 0;
    }

    void arrangingAndClosingViews()
    {
        QFETCH(QString, command);
        QFETCH(int, answer);
        QFETCH(int, viewsLeft);
        showWindow();
        Node *node = nullptr;
        for (int i = 0; i < 3; ++i, ++m_dirCount) // one project, and so one view, per directory
            node = open("a.trace", 1);
        QMdiArea *area = m_window->mdiArea();
        const bool tiled = command.contains(QLatin1String("Tile"));
        if (tiled || command == QLatin1String("action_UnwrapViews")) {
            area->setViewMode(QMdiArea::SubWindowView);
            area->setFixedSize(900, 600);
        }

        QString question;
        QTimer::singleShot(0, this, [&question, answer] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                question = box->windowTitle() + QLatin1Char('|') + box->text();
                box->button(QMessageBox::StandardButton(answer))->click();
            }
        });
        if (command == QLatin1String("own buttons")) {
            for (NodeViewWindow *view : views())
                view->close();
        } else {
            choose(node, command == QLatin1String("action_CloseProject") ? QStringLiteral("project")
                                                                         : QStringLiteral("node"));
            action(qPrintable(command))->trigger();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(question, answer ? QStringLiteral("Kestrelview|Close all open views?") : QString());

        const QList<NodeViewWindow *> left = views();
        QCOMPARE(left.size(), viewsLeft);
        QCOMPARE(viewGroups(), viewsLeft > 0 ? 3 : 0);
        for (int i = 0; i < left.size() && area->viewMode() == QMdiArea::SubWindowView; ++i)
            QCOMPARE(left.at(i)->geometry(), tiled ? QRect(0, i * 200, 900, 200) : QRect(0, 0, 900, 600));
        if (viewsLeft != 2)
            return;
        // The area hands the closed view's maximized state on, and the next view opens as a tab too.
        QCOMPARE(area->viewMode(), QMdiArea::TabbedView);
        QVERIFY(area->activeSubWindow()->isMaximized());
        QCOMPARE(area->activeSubWindow()->geometry(), area->viewport()->rect());
        open("d.trace", 4);
        QVERIFY(views().last()->isMaximized());
        QCOMPARE(area->findChild<QTabBar *>()->count(), 3);
    }

    // Two projects interleaved, a file twice, a node id its project has, a missing file and a refused
    // one that has drawn its colours, all in the middle: whatever differs from loading one by one shows.
    void aBatchLoadsAsItsFilesLoadedOneAfterAnother()
    {
        const QStringList paths =
            batchFiles(words("p/a.trace=1 q/b.trace=2 p/gone.trace=missing p/c.trace=3 "
                             "p/a.trace=1 p/bad.trace=refused p/d.trace=3 q/e.trace=4"));
        restart();
        for (const QString &path : paths) {
            if (m_tracer->createNode(path, m_window->rootEntry(), FROM_TRACER))
                m_window->addToRecentLists(path);
        }
        const QStringList oneByOne = loadedState();

        restart();
        m_window->openNodes(paths, FROM_TRACER);
        QCOMPARE(loadedState(), oneByOne);
    }

    // The dialog not yet shown goes before the last file's message, which it would otherwise pop up over.
    void aProgressDueLaterDoesNotCoverTheLastMessage()
    {
        const QString refused = TestSupport::writeTempFile(
            QStringLiteral("late"), QStringLiteral("bad.trace"), refusedAfterDeclarations());
        m_window = std::make_unique<TracerWindow>();
        m_window->show();
        m_window->setProgressDelay(200); // ms, far longer than the load
        bool covered = true;
        QString label;
        m_tracer->setMessageSink([&](QMessageBox::Icon, const QString &) {
            label = m_window->findChild<QProgressDialog *>()->labelText();
            QTest::qWait(400); // as long as a message box is up
            covered = QApplication::activeModalWidget() != nullptr;
        });
        m_window->openNode(refused, FROM_TRACER);
        QVERIFY(!covered);
        QCOMPARE(label, QStringLiteral("Loading tracefile 'bad.trace'..."));
    }

    // A long batch shows a modal progress, a file handed over meanwhile waits for it, and a cancel leaves
    // no trace of the batch.
    void aLongBatchShowsAProgressDefersHandedFilesAndCancelsWithoutATrace()
    {
        const QStringList paths{
            TestSupport::writeTempFile(QStringLiteral("cancel"), QStringLiteral("a.trace"), switches(40000)),
            TestSupport::writeTempFile(QStringLiteral("cancel"), QStringLiteral("b.trace"), trace(2))};
        const QString handed = traceFile("handed.trace", 3);
        m_window = std::make_unique<TracerWindow>();
        m_window->show();
        m_window->setProgressDelay(0);
        QString label;
        bool handedWhileLoading = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto *progress = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget())) {
                poll.stop();
                label = progress->labelText();
                QMetaObject::invokeMethod(m_window.get(), "on_addNodeFromReceiver", Q_ARG(QString, handed));
                handedWhileLoading = openedNode(handed) != nullptr;
                progress->findChild<QPushButton *>()->click();
            }
        });
        poll.start(1);
        m_window->openNodes(paths, FROM_TRACER);

        QCOMPARE(label, QStringLiteral("Loading 2 tracefiles..."));
        QVERIFY(!handedWhileLoading && !QApplication::activeModalWidget() && m_messages.isEmpty());
        QCOMPARE(m_window->rootEntry()->childCount(), 1);
        QCOMPARE(entryTexts("menu_RecentNodes"), QStringList{handed});
        QVERIFY(openedNode(handed) && !openedNode(paths.first()) && !openedNode(paths.last()));
        QCOMPARE(viewTexts(), QStringList{QStringLiteral("0:1")});
    }

    void viewingFromTheTreeGathersOrNumbersViewsOfProjectsAndNodesOnly_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QStringList>("gestures"); // on the target, one after the other
        QTest::addColumn<QStringList>("shown"); // number:viewed node count per view; node b is viewed first
        QTest::newRow("double-clicking a node entry adds it to its project's view")
            << QStringLiteral("node") << words("dclick") << words("0:2");
        QTest::newRow("Ctrl+double-click views apart, numbering the first view 1; a double-click goes to it")
            << QStringLiteral("node") << words("ctrl+dclick dclick") << words("1:2 2:1");
        QTest::newRow("Return on a node adds it to its project's view")
            << QStringLiteral("node") << words("return") << words("0:2");
        QTest::newRow("Enter on a project views all its nodes")
            << QStringLiteral("project") << words("enter") << words("0:2");
        QTest::newRow("Ctrl+Return on a node opens a separate view")
            << QStringLiteral("node") << words("ctrl+return") << words("1:1 2:1");
        QTest::newRow("closing the first of three views numbers the later ones down")
            << QStringLiteral("node") << words("ctrl+return ctrl+return close") << words("1:1 2:1");
        QTest::newRow("the one view left of a project goes without a number")
            << QStringLiteral("node") << words("ctrl+return close") << words("0:1");
    }

    void viewingFromTheTreeGathersOrNumbersViewsOfProjectsAndNodesOnly()
    {
        QFETCH(QString, target);
        QFETCH(QStringList, gestures);
        showTree();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        m_window->viewNode(m_nodes.last(), false);
        ItemTree *tree = m_window->itemTree();
        QTreeWidgetItem *chosen = entry(m_nodes.first(), target);
        const bool expanded = chosen->isExpanded();
        const QPoint at = tree->visualItemRect(chosen).center();
        const QMap<QString, Qt::Key> keys{{QStringLiteral("enter"), Qt::Key_Enter},
                                          {QStringLiteral("return"), Qt::Key_Return}};
        for (const QString &gesture : gestures) {
            const Qt::KeyboardModifiers modifiers =
                gesture.startsWith(QLatin1String("ctrl+")) ? Qt::ControlModifier : Qt::NoModifier;
            if (gesture == QLatin1String("close")) {
                const int count = int(views().size());
                views().first()->close();
                QTRY_COMPARE(views().size(), count - 1);
            } else if (gesture.endsWith(QLatin1String("dclick"))) {
                // The first press of a real double click selects the entry.
                QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
                QTest::mouseDClick(tree->viewport(), Qt::LeftButton, modifiers, at);
            } else {
                tree->setCurrentItem(chosen);
                QTest::keyClick(tree, keys.value(gesture.section(QLatin1Char('+'), -1)), modifiers);
            }
        }
        QCOMPARE(tree->currentItem(), chosen);
        QCOMPARE(chosen->isExpanded(), expanded);
        QFETCH(QStringList, shown);
        QTRY_COMPARE(viewTexts(), shown);
        const bool apart = gestures.last() != QLatin1String("dclick") &&
                           gestures.last() != QLatin1String("return") &&
                           gestures.last() != QLatin1String("enter");
        QTRY_COMPARE(m_window->mdiArea()->activeSubWindow(), apart ? views().last() : views().first());
    }
};

QTEST_MAIN(TestTracerWindow)
#include "tst_tracerwindow.moc"
