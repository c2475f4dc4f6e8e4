#include "app/tracer.h"
#include "mainwindow/tracerwindow.h"
#include "testsupport.h"

#include <QMenu>
#include <QSettings>
#include <QtTest>

#include <limits>
#include <memory>

namespace {

QSettings openStore()
{
    return QSettings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"));
}

} // namespace

// A store edited by hand, or written by another version, may hold anything
// under a key: the program starts, and the recent lists stay within reason.
class TestStoredValues : public QObject
{
    Q_OBJECT

private slots:
    void init() { openStore().clear(); }

    void recentLimitOutOfRangeNeverBreaksTheRecentLists_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("kept"); // of three files opened
        QTest::newRow("a negative limit reads as 0 and keeps nothing") << QVariant(-3) << 0 << 0;
        QTest::newRow("a limit above the dialog's 20 reads as 20")
            << QVariant(std::numeric_limits<int>::max()) << 20 << 3;
        QTest::newRow("a limit beyond 32 bits reads as 20") << QVariant(qint64(1) << 40) << 20 << 3;
        QTest::newRow("a list where the limit belongs reads as the default")
            << QVariant(QStringList{QStringLiteral("5"), QStringLiteral("6")}) << 5 << 3;
        QTest::newRow("a text where the limit belongs reads as the default")
            << QVariant(QStringLiteral("many")) << 5 << 3;
        QTest::newRow("a limit written as text reads as its number")
            << QVariant(QStringLiteral("2")) << 2 << 2;
    }

    void recentLimitOutOfRangeNeverBreaksTheRecentLists()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, limit);
        QFETCH(int, kept);

        openStore().setValue(QStringLiteral("settings/recent_nodes_max_count"), stored);
        openStore().setValue(QStringLiteral("settings/recent_projects_max_count"), stored);
        Tracer tracer;
        tracer.initHeadless();
        QCOMPARE(tracer.recentNodesMaxCount(), limit);
        QCOMPARE(tracer.recentProjectsMaxCount(), limit);
        const auto entries = [](const TracerWindow &window, const char *menu) {
            return window.findChild<QMenu *>(QLatin1String(menu))->actions().size();
        };
        {
            TracerWindow window;
            for (const char *path : {"/a/1.trace", "/b/2.trace", "/c/3.trace"})
                window.addToRecentLists(QLatin1String(path));
            QCOMPARE(entries(window, "menu_RecentNodes"), kept);
            QCOMPARE(entries(window, "menu_RecentProjects"), kept);
        }
        // What the window wrote on closing is read back within the same limit.
        const TracerWindow next;
        QCOMPARE(entries(next, "menu_RecentNodes"), kept);
        QCOMPARE(entries(next, "menu_RecentProjects"), kept);
    }
};

QTEST_MAIN(TestStoredValues)
#include "tst_storedvalues.moc"
