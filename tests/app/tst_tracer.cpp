#include "app/tracer.h"
#include "settings/settingswindow.h"
#include "testsupport.h"
#include "trace/node.h"

#include <QSpinBox>
#include <QtTest>

using TestSupport::settingsStore;

class TestTracer : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // Cleared before every test, so it had better not be the user's real store.
        QVERIFY2(settingsStore().fileName().startsWith(TestSupport::sandboxPath()),
                 qPrintable(settingsStore().fileName()));
        settingsStore().clear();
    }

    // A hand-edited store, or one another version wrote, may hold anything under a key: the
    // program starts, and the recent lists stay within what the dialog offers.
    void storedLimitIsReadBackWithoutBeingRewritten_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("limit");
        QTest::newRow("a negative limit reads as 0") << QVariant(-3) << 0;
        QTest::newRow("a limit above the dialog's 20 reads as 20") << QVariant(99) << 20;
    }

    void storedLimitIsReadBackWithoutBeingRewritten()
    {
        QFETCH(QVariant, stored);
        const QString key = QStringLiteral("settings/recent_nodes_max_count");
        settingsStore().setValue(key, stored);
        const Tracer tracer;
        QTEST(tracer.recentNodesMaxCount(), "limit");
        QCOMPARE(tracer.recentProjectsMaxCount(), 5);
        QCOMPARE(settingsStore().value(key).toString(), stored.toString());
        QCOMPARE(settingsStore().value(QStringLiteral("settings/recent_projects_max_count")).toInt(), 5);
        // The settings dialog shows what the program reads.
        const SettingsWindow dialog;
        QTEST(
            qobject_cast<const QSpinBox *>(dialog.editor(QStringLiteral("recent_nodes_max_count")))->value(),
            "limit");
    }

    void loadErrorsAreShownForKnownOriginsOnly()
    {
        Tracer tracer;
        tracer.initHeadless();
        int told = 0;
        tracer.setMessageSink([&told](QMessageBox::Icon, const QString &) { ++told; });
        // The open dialog's, the command line's and a second instance's, but not an unknown origin's.
        QList<int> toldAfter;
        for (const int origin : {int(FROM_TRACER), int(FROM_CMDLINE), int(FROM_RECEIVER), 7}) {
            QVERIFY(!tracer.createNode(QStringLiteral("/nonexistent/x.trace"), tracer.rootEntry(), origin));
            toldAfter << told;
        }
        QCOMPARE(toldAfter, (QList<int>{1, 2, 3, 3}));
    }

    void currentItemIsForgottenWhenDeleted()
    {
        Tracer tracer;
        tracer.initHeadless();
        auto *node = new Node(4);
        tracer.setCurTracerItem(node, TracerItem::TASK_EVENT_RANGE, 3, 8);
        QVERIFY(tracer.curTracerItem() == node);
        delete node;
        QVERIFY(!tracer.curTracerItem()); // no dangling current item
    }
};

QTEST_MAIN(TestTracer)
#include "tst_tracer.moc"
