#include "app/tracer.h"
#include "mainwindow/tracerwindow.h"
#include "settings/settingswindow.h"

#include <QMenu>
#include <QSettings>
#include <QSpinBox>
#include <QtTest>

#include <limits>

// A hand-edited store, or one another version wrote, may hold anything under a key: the program starts,
// and the recent lists stay within reason.
class TestStoredValues : public QObject
{
    Q_OBJECT

private slots:
    void recentLimitOutOfRangeNeverBreaksTheRecentLists_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("kept"); // of three files opened
        QTest::newRow("a negative limit reads as 0 and keeps nothing") << QVariant(-3) << 0 << 0;
        QTest::newRow("a limit above the dialog's 20 reads as 20")
            << QVariant(std::numeric_limits<int>::max()) << 20 << 3;
        QTest::newRow("a limit beyond 32 bits reads as 20") << QVariant(qint64(1) << 40) << 20 << 3;
        QTest::newRow("a text where the limit belongs reads as 0 and keeps nothing")
            << QVariant(QStringLiteral("many")) << 0 << 0;
        QTest::newRow("a limit written as text reads as its number")
            << QVariant(QStringLiteral("2")) << 2 << 2;
    }

    void recentLimitOutOfRangeNeverBreaksTheRecentLists()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, limit);
        QFETCH(int, kept);

        QSettings store(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"));
        store.clear();
        store.setValue(QStringLiteral("settings/recent_nodes_max_count"), stored);
        store.setValue(QStringLiteral("settings/recent_projects_max_count"), stored);
        store.sync();
        Tracer tracer;
        tracer.initHeadless();
        QCOMPARE(tracer.recentNodesMaxCount(), limit);
        QCOMPARE(tracer.recentProjectsMaxCount(), limit);
        // The settings dialog shows what the program reads.
        const SettingsWindow dialog;
        const auto *shown =
            qobject_cast<const QSpinBox *>(dialog.editor(QStringLiteral("recent_nodes_max_count")));
        QCOMPARE(shown->value(), limit);
        const auto entries = [](const TracerWindow &window) {
            return QList<qsizetype>{
                window.findChild<QMenu *>(QStringLiteral("menu_RecentNodes"))->actions().size(),
                window.findChild<QMenu *>(QStringLiteral("menu_RecentProjects"))->actions().size()};
        };
        {
            TracerWindow window;
            for (const char *path : {"/a/1.trace", "/b/2.trace", "/c/3.trace"})
                window.addToRecentLists(QLatin1String(path));
            QCOMPARE(entries(window), (QList<qsizetype>{kept, kept}));
        }
        // What the window wrote on closing is read back within the same limit.
        QCOMPARE(entries(TracerWindow()), (QList<qsizetype>{kept, kept}));
    }
};

QTEST_MAIN(TestStoredValues)
#include "tst_storedvalues.moc"
