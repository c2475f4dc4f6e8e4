#include "chart/edgesnap.h"
#include "chart/viewroot.h"
#include "nodefixture.h"
#include "testsupport.h"
#include "trace/bookmarkstore.h"
#include "trace/node.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <memory>

namespace {

using Times = QList<quint32>; // event starts, microseconds

const QList<Bookmark> someBookmarks{
    {QStringLiteral("send"), QStringLiteral("1.trace"), 120},
    {QStringLiteral("Empfang \u00fc"), QStringLiteral("2.trace"), 4294967295}};

} // namespace

class TestMarks : public QObject
{
    Q_OBJECT

private slots:
    void snapsToTheNearestEdgeWithinReach_data()
    {
        QTest::addColumn<Times>("first");
        QTest::addColumn<Times>("second");
        QTest::addColumn<int>("secondShift"); // microseconds
        QTest::addColumn<float>("scale");     // pixels per microsecond
        QTest::addColumn<int>("distance");    // pixels
        QTest::addColumn<bool>("altHeld");
        QTest::addColumn<double>("time");
        QTest::addColumn<double>("snapped");

        const Times first{0, 100, 300};
        QTest::newRow("a time within the distance moves onto the edge")
            << first << Times() << 0 << 1.0f << 5 << false << 103.0 << 100.0;
        QTest::newRow("a time beyond the distance stays")
            << first << Times() << 0 << 1.0f << 5 << false << 106.0 << 106.0;
        QTest::newRow("a distance of one pixel still snaps")
            << first << Times() << 0 << 1.0f << 1 << false << 101.0 << 100.0;
        QTest::newRow("with Alt held a time near an edge stays")
            << first << Times() << 0 << 1.0f << 5 << true << 103.0 << 103.0;
        QTest::newRow("at a tenth of a pixel per microsecond five pixels reach 50 us")
            << first << Times() << 0 << 0.1f << 5 << false << 145.0 << 100.0;
        QTest::newRow("of two edges within reach the nearer wins")
            << Times{0, 100, 104, 300} << Times() << 0 << 1.0f << 5 << false << 103.0 << 104.0;
        QTest::newRow("an edge of another node counts with that node's shift")
            << first << Times{0, 250} << 40 << 1.0f << 5 << false << 293.0 << 290.0;
    }

    void snapsToTheNearestEdgeWithinReach()
    {
        QFETCH(Times, first);
        QFETCH(Times, second);
        QFETCH(int, secondShift);
        QFETCH(float, scale);
        QFETCH(int, distance);
        QFETCH(bool, altHeld);
        QFETCH(double, time);

        const std::unique_ptr<Node> a = nodeAt(first, 1);
        const std::unique_ptr<Node> b = nodeAt(second, 2);
        ViewRoot root;
        root.addViewedNode(a.get());
        if (!second.isEmpty()) {
            root.addViewedNode(b.get());
            static_cast<ViewNode *>(root.childById(2))->setShift(secondShift);
        }
        QTEST(EdgeSnap(scale, distance, altHeld).alignedTime(root, time), "snapped");
    }

    void keepsBookmarksOnlyForTheirOwnProject_data()
    {
        QTest::addColumn<QByteArray>("file"); // as found on disk; empty: as the store saved it
        QTest::addColumn<bool>("read");

        QTest::newRow("saved bookmarks read back whole") << QByteArray() << true;
        QTest::newRow("a file cut short is ignored") << QByteArray("{\"project\": \"") << false;
        QTest::newRow("another project's file is ignored")
            << QByteArray("{\"project\": \"/elsewhere\", \"bookmarks\": []}") << false;
        QTest::newRow("a bookmark without a time is damage")
            << QByteArray(
                   "{\"project\": \"PROJECT\", \"bookmarks\": [{\"name\": \"a\", \"node\": \"1.trace\"}]}")
            << false;
    }

    void keepsBookmarksOnlyForTheirOwnProject()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, read);

        const QString project = TestSupport::sandboxPath() + QStringLiteral("/traces");
        QDir().mkpath(project);
        BookmarkStore writer(project);
        // In the user's data directory, which the tests keep in their sandbox.
        QVERIFY(writer.filePath().startsWith(TestSupport::sandboxPath() + QStringLiteral("/data/")));
        writer.setBookmarks(someBookmarks);
        QVERIFY2(writer.save(), qPrintable(writer.error()));
        if (!file.isEmpty()) {
            QFile damaged(writer.filePath());
            QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
            damaged.write(file.replace("PROJECT", QFile::encodeName(writer.projectPath())));
        }

        BookmarkStore reader(project + QStringLiteral("/."));
        QCOMPARE((QList<bool>{reader.load(), reader.error().isEmpty()}), (QList<bool>{read, read}));
        QCOMPARE(reader.bookmarks(), read ? someBookmarks : QList<Bookmark>());
    }
};

QTEST_GUILESS_MAIN(TestMarks)
#include "tst_marks.moc"
