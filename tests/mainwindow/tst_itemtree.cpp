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
        QTest::newRow("a project entry offers the project menu")
            << QStringLiteral("project") << QStringLiteral("projectContextMenu");
        QTest::newRow("a node entry offers the node menu")
            << QStringLiteral("node") << QStringLiteral("nodeContextMenu");
        QTest::newRow("a task entry is selected and offers no menu") << QStringLiteral("task") << QString();
        QTest::newRow("the root entry resets the current item and offers no menu")
            << QStringLiteral("root") << QString();
    }

    void rightClickSelectsAndOffersTheEntrysMenu()
    {
        QFETCH(QString, target);
        QFETCH(QString, menu);
        tree()->setCurrentItem(m_b->treeItem());
        QMenu *shown = rightClick(entry(target));
        QCOMPARE(tree()->currentItem(), entry(target));
        QCOMPARE(m_tracer->curTracerItem() == nullptr, target == QLatin1String("root"));
        QCOMPARE(shown ? shown->objectName() : QString(), menu);
    }

    void viewingFromTheTreeTakesOnlyProjectsAndNodes_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("key"); // 0: a double click
        QTest::addColumn<bool>("control");
        QTest::addColumn<QList<int>>("viewed"); // node count per view afterwards; node b is viewed first
        QTest::newRow("double-clicking a node entry adds it to its project's view")
            << QStringLiteral("node") << 0 << false << QList<int>{2};
        QTest::newRow("Ctrl+double-click on a node entry opens a separate numbered view")
            << QStringLiteral("node") << 0 << true << QList<int>{1, 1};
        QTest::newRow("double-clicking a task folder neither views nor expands it")
            << QStringLiteral("tasks") << 0 << false << QList<int>{1};
        QTest::newRow("double-clicking a project entry does nothing")
            << QStringLiteral("project") << 0 << false << QList<int>{1};
        QTest::newRow("Enter on a project views all its nodes")
            << QStringLiteral("project") << int(Qt::Key_Return) << false << QList<int>{2};
        QTest::newRow("Ctrl+Enter on a project views all its nodes too")
            << QStringLiteral("project") << int(Qt::Key_Enter) << true << QList<int>{2};
        QTest::newRow("Enter on a node views it")
            << QStringLiteral("node") << int(Qt::Key_Enter) << false << QList<int>{2};
        QTest::newRow("Ctrl+Enter on a node opens a separate numbered view")
            << QStringLiteral("node") << int(Qt::Key_Return) << true << QList<int>{1, 1};
        QTest::newRow("Enter on the root entry does nothing")
            << QStringLiteral("root") << int(Qt::Key_Return) << false << QList<int>{1};
        QTest::newRow("another key on a node does nothing")
            << QStringLiteral("node") << int(Qt::Key_Space) << false << QList<int>{1};
    }

    void viewingFromTheTreeTakesOnlyProjectsAndNodes()
    {
        QFETCH(QString, target);
        QFETCH(int, key);
        QFETCH(bool, control);
        QFETCH(QList<int>, viewed);
        m_window->viewNode(m_b, false);
        QTreeWidgetItem *chosen = entry(target);
        const bool expanded = chosen->isExpanded();
        const Qt::KeyboardModifiers modifiers = control ? Qt::ControlModifier : Qt::NoModifier;
        const QPoint at = tree()->visualItemRect(chosen).center();
        if (key == 0) {
            // The first press of a real double click selects the entry.
            QTest::mouseClick(tree()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
            QTest::mouseDClick(tree()->viewport(), Qt::LeftButton, modifiers, at);
        } else {
            tree()->setCurrentItem(chosen);
            QTest::keyClick(tree(), Qt::Key(key), modifiers);
        }
        QCOMPARE(tree()->currentItem(), chosen);
        QCOMPARE(chosen->isExpanded(), expanded);
        QList<int> viewedNow;
        QList<int> numbers;
        const auto windows = m_window->mdiArea()->subWindowList(QMdiArea::CreationOrder);
        for (QMdiSubWindow *window : windows) {
            viewedNow.append(qobject_cast<NodeViewWindow *>(window)->viewedNodeCount());
            numbers.append(qobject_cast<NodeViewWindow *>(window)->number());
        }
        QCOMPARE(viewedNow, viewed);
        // A lone view goes unnumbered; views apart count from 1.
        QCOMPARE(numbers, (viewed.size() > 1 ? QList<int>{1, 2} : QList<int>{0}));
    }

    void arrowKeysStillMoveTheCurrentEntry()
    {
        tree()->setCurrentItem(entry(QStringLiteral("project")));
        QTest::keyClick(tree(), Qt::Key_Down);
        QCOMPARE(tree()->currentItem()->parent(), entry(QStringLiteral("project")));
        QCOMPARE(m_tracer->curCategory(), TracerItem::NODE);
    }

    void anEventListSelectionMutesTheNodeEntry()
    {
        tree()->setCurrentItem(entry(QStringLiteral("node")));
        m_tracer->setCurTracerItem(m_a, TracerItem::TASK_EVENT_RANGE, 0, 1);
        QTest::keyClick(tree(), Qt::Key_Return);
        QVERIFY(m_window->mdiArea()->subWindowList().isEmpty());
        QCOMPARE(rightClick(entry(QStringLiteral("node"))), nullptr);
        QCOMPARE(m_tracer->curCategory(), TracerItem::TASK_EVENT_RANGE);
    }
};

QTEST_MAIN(TestItemTree)
#include "tst_itemtree.moc"
