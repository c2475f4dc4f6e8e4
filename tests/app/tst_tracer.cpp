#include "app/tracer.h"
#include "settings/settingswindow.h"
#include "testsupport.h"
#include "trace/node.h"

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

    // A hand-edited store, or one another version wrote, may hold anything under a key: the
    // program starts, and the recent lists stay within what the dialog offers.
    void storedLimitIsReadBackWithoutBeingRewritten_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("limit");
        QTest::newRow("a fresh store is seeded with limits of five") << QVariant() << 5;
        QTest::newRow("a negative limit reads as 0") << QVariant(-3) << 0;
        QTest::newRow("a limit written as text reads as its number") << QVariant(QStringLiteral("2")) << 2;
        QTest::newRow("a limit above the dialog's 20 reads as 20") << QVariant(99) << 20;
    }

    void storedLimitIsReadBackWithoutBeingRewritten()
    {
        QFETCH(QVariant, stored);
        const QString key = QStringLiteral("settings/recent_nodes_max_count");
        if (stored.isValid())
            store().setValue(key, stored);
        const Tracer tracer;
        QTEST(tracer.recentNodesMaxCount(), "limit");
        QCOMPARE(tracer.recentProjectsMaxCount(), 5);
        QCOMPARE(store().value(key).toString(), stored.isValid() ? stored.toString() : QStringLiteral("5"));
        QCOMPARE(store().value(QStringLiteral("settings/recent_projects_max_count")).toInt(), 5);
        // The settings dialog shows what the program reads.
        const SettingsWindow dialog;
        QTEST(
            qobject_cast<const QSpinBox *>(dialog.editor(QStringLiteral("recent_nodes_max_count")))->value(),
            "limit");
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

    void currentItemIsAnnouncedAndForgottenWhenDeleted()
    {
        Tracer tracer;
        tracer.initHeadless();
        QSignalSpy spy(&tracer, &Tracer::curTracerItem_Changed);
        auto *node = new Node(4);
        tracer.setCurTracerItem(node, TracerItem::TASK_EVENT_RANGE, 3, 8);
        QCOMPARE(spy.size(), 1);
        QVERIFY(spy.at(0).at(0).value<TracerItem *>() == node && spy.at(0).at(2) == 3 &&
                spy.at(0).at(3) == 8);
        QCOMPARE(tracer.curCategory(), TracerItem::TASK_EVENT_RANGE);
        delete node;
        QVERIFY(!tracer.curTracerItem()); // no dangling current item
    }
};

QTEST_MAIN(TestTracer)
#include "tst_tracer.moc"
