#include "app/tracer.h"
#include "settings/settingswindow.h"
#include "testsupport.h"
#include "trace/node.h"
#include "trace/project.h"

#include <QSpinBox>
#include <QtTest>

namespace {

QSettings store()
{
    return QSettings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"));
}

} // namespace

class TestTracer : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // Cleared before every test, so it had better not be the user's real store.
        QVERIFY2(store().fileName().startsWith(TestSupport::sandboxPath()), qPrintable(store().fileName()));
        store().clear();
    }

    void freshStoreIsSeededWithLimitsOfFive()
    {
        const Tracer tracer;
        QCOMPARE(tracer.recentNodesMaxCount(), 5);
        QCOMPARE(tracer.recentProjectsMaxCount(), 5);
        QCOMPARE(store().value(QStringLiteral("settings/recent_nodes_max_count")).toInt(), 5);
        QCOMPARE(store().value(QStringLiteral("settings/recent_projects_max_count")).toInt(), 5);
    }

    // A hand-edited store, or one another version wrote, may hold anything under a key: the
    // program starts, and the recent lists stay within what the dialog offers.
    void storedLimitIsReadBackWithoutBeingRewritten_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("limit");
        QTest::newRow("a negative limit reads as 0") << QVariant(-3) << 0;
        QTest::newRow("a limit written as text reads as its number") << QVariant(QStringLiteral("2")) << 2;
        QTest::newRow("a text that is no number reads as 0") << QVariant(QStringLiteral("many")) << 0;
        QTest::newRow("a limit above the dialog's 20 reads as 20") << QVariant(99) << 20;
        QTest::newRow("a limit beyond 32 bits reads as 20") << QVariant(qint64(1) << 40) << 20;
    }

    void storedLimitIsReadBackWithoutBeingRewritten()
    {
        QFETCH(QVariant, stored);
        const QString key = QStringLiteral("settings/recent_nodes_max_count");
        store().setValue(key, stored);
        const Tracer tracer;
        QTEST(tracer.recentNodesMaxCount(), "limit");
        QCOMPARE(tracer.recentProjectsMaxCount(), 5);
        QCOMPARE(store().value(key), stored);
        // The settings dialog shows what the program reads.
        const SettingsWindow dialog;
        const auto *shown =
            qobject_cast<const QSpinBox *>(dialog.editor(QStringLiteral("recent_nodes_max_count")));
        QTEST(shown->value(), "limit");
    }

    void updateSettingsAnnouncesEachKeyAfterRereading()
    {
        Tracer tracer;
        store().setValue(QStringLiteral("settings/recent_projects_max_count"), 9);
        QStringList seen;
        connect(&tracer, &Tracer::settingsUpdatingNotify, this, [&](const QString &key) {
            seen.append(key + QLatin1Char('=') + QString::number(tracer.recentProjectsMaxCount()));
        });
        tracer.updateSettings({QStringLiteral("settings/b"), QStringLiteral("settings/a")});
        QCOMPARE(seen, (QStringList{QStringLiteral("settings/b=9"), QStringLiteral("settings/a=9")}));
    }

    void loadErrorsAreShownForKnownOriginsOnly_data()
    {
        QTest::addColumn<int>("origin");
        QTest::addColumn<bool>("shown");
        QTest::newRow("the open dialog's") << int(FROM_TRACER) << true;
        QTest::newRow("the command line's") << int(FROM_CMDLINE) << true;
        QTest::newRow("a second instance's") << int(FROM_RECEIVER) << true;
        QTest::newRow("not an unknown origin's") << 7 << false;
    }

    void loadErrorsAreShownForKnownOriginsOnly()
    {
        QFETCH(int, origin);
        QFETCH(bool, shown);
        Tracer tracer;
        tracer.initHeadless();
        QStringList messages;
        tracer.setMessageSink([&](QMessageBox::Icon, const QString &text) { messages.append(text); });
        QVERIFY(!tracer.createNode(QStringLiteral("/nonexistent/x.trace"), tracer.rootEntry(), origin));
        QCOMPARE(messages.size(), shown ? 1 : 0);
    }

    void currentItemIsAnnouncedAndForgottenWhenDeleted()
    {
        Tracer tracer;
        tracer.initHeadless();
        QSignalSpy spy(&tracer, &Tracer::curTracerItem_Changed);
        auto *node = new Node(4);
        tracer.setCurTracerItem(node, TracerItem::TASK_EVENT_RANGE, 3, 8);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.at(0).at(0).value<TracerItem *>(), node);
        QCOMPARE(spy.at(0).at(2).toInt(), 3);
        QCOMPARE(spy.at(0).at(3).toInt(), 8);
        QCOMPARE(tracer.curCategory(), TracerItem::TASK_EVENT_RANGE);
        delete node;
        QVERIFY(!tracer.curTracerItem()); // no dangling current item
    }
};

QTEST_MAIN(TestTracer)
#include "tst_tracer.moc"
