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
        settings.clear();
    }

    void settingsStoreIsTheTestsOwn()
    {
        const QSettings settings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"));
        QVERIFY2(settings.fileName().startsWith(TestSupport::sandboxPath()), qPrintable(settings.fileName()));
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

    void storedLimitsAreReadBack_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("limit");
        QTest::newRow("a stored 12 reads as 12") << QVariant(12) << 12;
        QTest::newRow("a stored 0 reads as 0") << QVariant(0) << 0;
        QTest::newRow("a text that is no number reads as the default 5")
            << QVariant(QStringLiteral("many")) << 5;
        QTest::newRow("a limit above 20 reads as 20") << QVariant(99) << 20;
        QTest::newRow("a number stored as text reads as the number") << QVariant(QStringLiteral("7")) << 7;
    }

    void storedLimitsAreReadBack()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, limit);
        {
            QSettings settings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"));
            settings.setValue(QStringLiteral("settings/recent_nodes_max_count"), stored);
        }
        const Tracer tracer;
        QCOMPARE(tracer.recentNodesMaxCount(), limit);
        QCOMPARE(tracer.recentProjectsMaxCount(), 5);
        const QSettings settings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"));
        QCOMPARE(settings.value(QStringLiteral("settings/recent_nodes_max_count")), stored); // not rewritten
    }

    void updateSettingsAnnouncesEachKeyAfterRereading()
    {
        Tracer tracer;
        {
            QSettings settings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"));
            settings.setValue(QStringLiteral("settings/recent_projects_max_count"), 9);
        }
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
        QTest::newRow("origin 7 does not") << 7 << false;
        QTest::newRow("a negative origin does not") << -1 << false;
    }

    void reportsErrorsForKnownOriginsOnly()
    {
        QFETCH(int, origin);
        QFETCH(bool, reports);
        const Tracer tracer;
        QCOMPARE(tracer.reportsErrorsFor(origin), reports);
    }

    void cataloguesHoldEveryEntryWithItsIcon()
    {
        Tracer tracer;
        tracer.initHeadless();
        QCOMPARE(theTracer, &tracer);

        const QList<int> serviceCodes{0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 255};
        QCOMPARE(tracer.services().size(), serviceCodes.size());
        for (int i = 0; i < serviceCodes.size(); ++i) {
            const ServiceInfo &info = tracer.services().at(i);
            QCOMPARE(info.code, serviceCodes.at(i));
            QVERIFY2(!info.icon.isNull(), qPrintable(info.iconPath));
            QCOMPARE(info.icon.size(), QSize(16, 16));
            QCOMPARE(info.targetIsTask, info.code != 7 && info.code != 9);
        }
        QVERIFY(tracer.services().last().name.isEmpty());

        const QList<int> eventCodes{0, 1, -1, 2, -2, 3, 4, -4, 5, -5, 6, -6, 16, 255};
        QCOMPARE(tracer.sysEvents().size(), eventCodes.size());
        for (int code : eventCodes) {
            const SysEventInfo info = tracer.sysEvent(code);
            QVERIFY(info.known);
            QCOMPARE(info.code, code);
            QVERIFY2(!info.icon.isNull(), qPrintable(info.iconPath));
            QCOMPARE(info.icon.size(), QSize(16, 16));
        }
        QCOMPARE(tracer.sysEvent(-6).name, QStringLiteral("SYNC_PACKET_RECEIVING_NOTIFICATION"));
    }

    void codeOutsideCatalogueReadsAsBlankEntry()
    {
        Tracer tracer;
        tracer.initHeadless();
        const SysEventInfo info = tracer.sysEvent(7);
        QVERIFY(!info.known);
        QVERIFY(info.name.isEmpty());
        QVERIFY(info.iconPath.isEmpty());
        QVERIFY(info.icon.isNull());
        QCOMPARE(info.code, 0);
    }

    void setCurTracerItemStoresAndAnnounces()
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
