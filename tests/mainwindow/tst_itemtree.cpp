#include "app/tracer.h"
#include "mainwindow/itemtree.h"
#include "mainwindow/tracerwindow.h"
#include "testsupport.h"
#include "trace/node.h"
#include "trace/project.h"
#include "trace/task.h"
#include "tracefixture.h"
#include "views/nodeviewwindow.h"

#include <QMdiArea>
#include <QMenu>
#include <QtTest>

#include <memory>

using TraceFixture::eventXml;

namespace {

QByteArray trace(int nodeId)
{
    return TraceFixture::traceFile(nodeId, "<tasks><task id=\"1\" name=\"First\"/></tasks>\n",
                                   eventXml(0, 0, 0, nodeId << 8 | 1) + eventXml(1, 50));
}

} // namespace

class TestItemTree : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Tracer> m_tracer;
    std::unique_ptr<TracerWindow> m_window;
    QPointer<Node> m_a;
    QPointer<Node> m_b;
    int m_dirCount = 0;

    ItemTree *tree() const { return m_window->itemTree(); }

    QTreeWidgetItem *entry(const QString &name) const
    {
        if (name == QLatin1String("root"))
            return m_window->rootEntry();
        if (name == QLatin1String("project"))
            return m_a->project()->treeItem();
        if (name == QLatin1String("node"))
            return m_a->treeItem();
        if (name == QLatin1String("tasks"))
            return m_a->taskFolder();
        return m_a->task(1)->treeItem();
    }

    QList<int> viewedCounts() const
    {
        QList<int> counts;
        const auto windows = m_window->mdiArea()->subWindowList(QMdiArea::CreationOrder);
        for (QMdiSubWindow *window : windows)
            counts.append(qobject_cast<NodeViewWindow *>(window)->viewedNodeCount());
        return counts;
    }

    // Closes whatever menu pops up and tells which it was.
    QMenu *rightClick(QTreeWidgetItem *target)
    {
        QPointer<QMenu> shown;
        QTimer closer;
        closer.setSingleShot(true);
        connect(&closer, &QTimer::timeout, this, [&] {
            shown = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (shown)
                shown->close();
        });
        closer.start(0);
        const QPoint pos = tree()->visualItemRect(target).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, tree()->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(tree()->viewport(), &event);
        // No menu: the timer is still to fire.
        for (int round = 0; closer.isActive() && round < 100; ++round)
            QTest::qWait(10);
        return shown;
    }

private slots:
    void init()
    {
        ++m_dirCount;
        m_tracer = std::make_unique<Tracer>();
        m_tracer->initHeadless();
        m_tracer->setMessageSink([](QMessageBox::Icon, const QString &text) { QFAIL(qPrintable(text)); });
        m_window = std::make_unique<TracerWindow>();
        m_window->resize(900, 700);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        const QString dir = QStringLiteral("tree%1").arg(m_dirCount);
        const QString a = TestSupport::writeTempFile(dir, QStringLiteral("a.trace"), trace(1));
        const QString b = TestSupport::writeTempFile(dir, QStringLiteral("b.trace"), trace(2));
        m_a = m_tracer->createNode(a, m_window->rootEntry(), FROM_TRACER);
        m_b = m_tracer->createNode(b, m_window->rootEntry(), FROM_TRACER);
        QVERIFY(m_a && m_b);
        tree()->expandAll();
    }

    void cleanup()
    {
        m_window.reset();
        m_tracer.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void rightClickSelectsAndOffersTheEntrysMenu_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("menu"); // object name; empty: none
        QTest::addColumn<bool>("itemIsNull");
        QTest::newRow("a project entry offers the project menu")
            << QStringLiteral("project") << QStringLiteral("projectContextMenu") << false;
        QTest::newRow("a node entry offers the node menu")
            << QStringLiteral("node") << QStringLiteral("nodeContextMenu") << false;
        QTest::newRow("a task entry is selected and offers no menu")
            << QStringLiteral("task") << QString() << false;
        QTest::newRow("a task folder is selected and offers no menu")
            << QStringLiteral("tasks") << QString() << false;
        QTest::newRow("the root entry resets the current item and offers no menu")
            << QStringLiteral("root") << QString() << true;
    }

    void rightClickSelectsAndOffersTheEntrysMenu()
    {
        QFETCH(QString, target);
        QFETCH(QString, menu);
        QFETCH(bool, itemIsNull);
        tree()->setCurrentItem(m_b->treeItem());
        QMenu *shown = rightClick(entry(target));
        QCOMPARE(tree()->currentItem(), entry(target));
        QCOMPARE(m_tracer->curTracerItem() == nullptr, itemIsNull);
        QCOMPARE(shown ? shown->objectName() : QString(), menu);
    }

    void doubleClickViewsOnlyNodes_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("control");
        QTest::addColumn<QList<int>>("viewed"); // node count per view afterwards
        QTest::newRow("a node entry opens its project's view")
            << QStringLiteral("node") << false << QList<int>{2};
        QTest::newRow("Ctrl on a node entry opens a separate view")
            << QStringLiteral("node") << true << QList<int>{1, 1};
        QTest::newRow("a task folder does nothing") << QStringLiteral("tasks") << false << QList<int>{1};
        QTest::newRow("a task entry does nothing") << QStringLiteral("task") << false << QList<int>{1};
        QTest::newRow("a project entry does nothing") << QStringLiteral("project") << false << QList<int>{1};
    }

    void doubleClickViewsOnlyNodes()
    {
        QFETCH(QString, target);
        QFETCH(bool, control);
        QFETCH(QList<int>, viewed);
        m_window->viewNode(m_b, false);
        QTreeWidgetItem *clicked = entry(target);
        const bool expanded = clicked->isExpanded();
        // The first press of a real double click selects the entry.
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          tree()->visualItemRect(clicked).center());
        QTest::mouseDClick(tree()->viewport(), Qt::LeftButton, control ? Qt::ControlModifier : Qt::NoModifier,
                           tree()->visualItemRect(clicked).center());
        QCOMPARE(tree()->currentItem(), clicked);
        QCOMPARE(viewedCounts(), viewed);
        QCOMPARE(clicked->isExpanded(), expanded);
    }

    void enterViewsTheCurrentEntry_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("control");
        QTest::addColumn<QList<int>>("viewed");
        QTest::newRow("Enter on a project views all its nodes")
            << QStringLiteral("project") << int(Qt::Key_Return) << false << QList<int>{2};
        QTest::newRow("Ctrl+Enter on a project views all its nodes too")
            << QStringLiteral("project") << int(Qt::Key_Enter) << true << QList<int>{2};
        QTest::newRow("Enter on a node views it")
            << QStringLiteral("node") << int(Qt::Key_Enter) << false << QList<int>{1};
        QTest::newRow("Enter on the root entry does nothing")
            << QStringLiteral("root") << int(Qt::Key_Return) << false << QList<int>{};
        QTest::newRow("another key on a node does nothing")
            << QStringLiteral("node") << int(Qt::Key_Space) << false << QList<int>{};
    }

    void enterViewsTheCurrentEntry()
    {
        QFETCH(QString, target);
        QFETCH(int, key);
        QFETCH(bool, control);
        QFETCH(QList<int>, viewed);
        tree()->setCurrentItem(entry(target));
        QTest::keyClick(tree(), Qt::Key(key), control ? Qt::ControlModifier : Qt::NoModifier);
        QCOMPARE(viewedCounts(), viewed);
    }

    void ctrlEnterOnANodeOpensANumberedView()
    {
        m_window->viewNode(m_b, false);
        tree()->setCurrentItem(entry(QStringLiteral("node")));
        QTest::keyClick(tree(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(viewedCounts(), (QList<int>{1, 1}));
        const auto windows = m_window->mdiArea()->subWindowList(QMdiArea::CreationOrder);
        QCOMPARE(qobject_cast<NodeViewWindow *>(windows.at(0))->number(), 1);
        QCOMPARE(qobject_cast<NodeViewWindow *>(windows.at(1))->number(), 2);
    }

    void arrowKeysStillMoveTheCurrentEntry()
    {
        tree()->setCurrentItem(entry(QStringLiteral("project")));
        QTest::keyClick(tree(), Qt::Key_Down);
        QCOMPARE(tree()->currentItem()->parent(), entry(QStringLiteral("project")));
        QCOMPARE(m_tracer->curCategory(), TracerItem::NODE);
    }

    void anEventListSelectionMutesTheNodeEntry_data()
    {
        QTest::addColumn<bool>("rightClick");
        QTest::newRow("Enter on the still selected node does nothing") << false;
        QTest::newRow("a right click on the still selected node shows no menu") << true;
    }

    void anEventListSelectionMutesTheNodeEntry()
    {
        QFETCH(bool, rightClick);
        tree()->setCurrentItem(entry(QStringLiteral("node")));
        m_tracer->setCurTracerItem(m_a, TracerItem::TASK_EVENT_RANGE, 0, 1);
        if (rightClick) {
            QCOMPARE(this->rightClick(entry(QStringLiteral("node"))), nullptr);
        } else {
            QTest::keyClick(tree(), Qt::Key_Return);
            QVERIFY(viewedCounts().isEmpty());
        }
        QCOMPARE(m_tracer->curCategory(), TracerItem::TASK_EVENT_RANGE);
    }
};

QTEST_MAIN(TestItemTree)
#include "tst_itemtree.moc"
