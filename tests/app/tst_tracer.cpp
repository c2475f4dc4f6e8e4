#include "app/tracer.h"
#include "testsupport.h"
#include "trace/node.h"
#include "trace/project.h"

#include <QtTest>

class TestTracer : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QSettings settings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"));
        // Cleared before every test, so it had better not be the user's real store.
        QVERIFY2(settings.fileName().startsWith(TestSupport::sandboxPath()), qPrintable(settings.fileName()));
        settings.clear();
    }

    void freshStoreIsSeededWithLimitsOfFive()
    {
        const Tracer tracer;
        QCOMPARE(tracer.recentNodesMaxCount(), 5);
        QCOMPARE(tracer.recentProjectsMaxCount(), 5);
        const QSettings settings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"));
        QCOMPARE(settings.value(QStringLiteral("settings/recent_nodes_max_count")).toInt(), 5);
        QCOMPARE(settings.value(QStringLiteral("settings/recent_projects_max_count")).toInt(), 5);
    }

    void storedLimitsAreReadBackWithoutBeingRewritten_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("limit");
        QTest::newRow("a stored 0 reads as 0") << QVariant(0) << 0;
        QTest::newRow("a text that is no number reads as 0") << QVariant(QStringLiteral("many")) << 0;
        QTest::newRow("a limit above 20 reads as 20") << QVariant(99) << 20;
    }

    void storedLimitsAreReadBackWithoutBeingRewritten()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, limit);
        const QString key = QStringLiteral("settings/recent_nodes_max_count");
        QSettings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview")).setValue(key, stored);
        const Tracer tracer;
        QCOMPARE(tracer.recentNodesMaxCount(), limit);
        QCOMPARE(tracer.recentProjectsMaxCount(), 5);
        QCOMPARE(QSettings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview")).value(key), stored);
    }

    void updateSettingsAnnouncesEachKeyAfterRereading()
    {
        Tracer tracer;
        QSettings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"))
            .setValue(QStringLiteral("settings/recent_projects_max_count"), 9);
        QStringList seen;
        QList<int> limits;
        connect(&tracer, &Tracer::settingsUpdatingNotify, this, [&](const QString &key) {
            seen.append(key);
            limits.append(tracer.recentProjectsMaxCount());
        });
        const QStringList keys{QStringLiteral("settings/b"), QStringLiteral("settings/a"),
                               QStringLiteral("settings/c")};
        tracer.updateSettings(keys);
        QCOMPARE(seen, keys);
        QCOMPARE(limits, (QList<int>{9, 9, 9}));
    }

    void reportsErrorsForKnownOriginsOnly_data()
    {
        QTest::addColumn<int>("origin");
        QTest::addColumn<bool>("reports");
        QTest::newRow("the open dialog reports") << int(FROM_TRACER) << true;
        QTest::newRow("the command line reports") << int(FROM_CMDLINE) << true;
        QTest::newRow("a second instance reports") << int(FROM_RECEIVER) << true;
        QTest::newRow("an unknown origin does not") << 7 << false;
    }

    void reportsErrorsForKnownOriginsOnly()
    {
        QFETCH(int, origin);
        QFETCH(bool, reports);
        QCOMPARE(Tracer().reportsErrorsFor(origin), reports);
    }

    void everyCatalogueEntryHasItsIconAndAnUnknownCodeTheBlankEntry()
    {
        Tracer tracer;
        tracer.initHeadless();
        QCOMPARE(theTracer, &tracer);
        for (const ServiceInfo &info : tracer.services()) {
            QVERIFY2(!info.icon.isNull(), qPrintable(info.iconPath));
            QCOMPARE(info.icon.size(), QSize(16, 16));
        }
        // Matched in order, so the catch-all with the empty name must come last.
        QVERIFY(tracer.services().last().name.isEmpty());
        for (auto it = tracer.sysEvents().cbegin(); it != tracer.sysEvents().cend(); ++it) {
            const SysEventInfo info = tracer.sysEvent(it.key());
            QVERIFY(info.known);
            QCOMPARE(info.code, it.key());
            QVERIFY2(!info.icon.isNull(), qPrintable(info.iconPath));
            QCOMPARE(info.icon.size(), QSize(16, 16));
        }
        QCOMPARE(tracer.sysEvent(-6).name, QStringLiteral("SYNC_PACKET_RECEIVING_NOTIFICATION"));

        const SysEventInfo unknown = tracer.sysEvent(7);
        QVERIFY(!unknown.known);
        QVERIFY(unknown.name.isEmpty() && unknown.iconPath.isEmpty() && unknown.icon.isNull());
        QCOMPARE(unknown.code, 0);
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
