#include "chart/chartmetrics.h"
#include "chart/rulermarks.h"
#include "chartfixture.h"
#include "trace/bookmarkstore.h"
#include "trace/node.h"
#include "views/bookmarkpanel.h"
#include "views/chartmarks.h"
#include "views/eventchartcanvas.h"
#include "views/projectbookmarks.h"

#include <QApplication>
#include <QInputDialog>
#include <QScrollBar>
#include <QTableWidget>
#include <QtTest>

#include <cmath>

namespace {

const QString project = QStringLiteral("/marks-project");
constexpr int secondShift = 40; // microseconds the second node's clock is moved by

} // namespace

class TestChartMarks : public QObject, public ChartFixture
{
    Q_OBJECT

private:
    ChartMarks *marks() const { return m_chart->marks(); }
    EventChartCanvas *canvas() const { return m_chart->canvas(); }
    Node *node(int id) const { return id == 1 ? m_first : m_second; }

    // The viewport point on the task row of node `id` where its own time `t` (us) is drawn.
    QPoint pointAt(int id, double t) const
    {
        auto *row = static_cast<ViewNode *>(m_root->childById(id));
        const double x = m_chart->headerShift() + (t + row->shift()) * m_chart->scale() -
                         m_chart->horizontalScrollBar()->value();
        return QPoint(int(std::lround(x)), (row->taskTrain()->child(0)->row()) * ChartMetrics::rowHeight + 9);
    }

private slots:
    void initTestCase() { QVERIFY(loadNodes()); }

    // A shown chart of both nodes, the second shifted, with no bookmarks stored.
    void init()
    {
        m_chart.reset();
        QFile::remove(BookmarkStore(project).filePath());
        makeRoot({m_first, m_second}, m_first);
        static_cast<ViewNode *>(m_root->childById(2))->setShift(secondShift);
        m_root->recomputeExtent();
        QVERIFY(showChart(QSize(1400, 300), project));
    }

    void keysPutCursorsAtTheMouse_data()
    {
        // Cursor A goes to node 1 at 102 us, B to `nodeB` at `mouseB`, each on the node's own clock.
        QTest::addColumn<int>("nodeB");
        QTest::addColumn<double>("mouseB");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<double>("delta"); // B - A, aligned microseconds

        QTest::newRow("A and B near edges of two nodes measure between the edges across the shift")
            << 2 << 198.0 << Qt::KeyboardModifiers() << double(200 + secondShift - 100);
        QTest::newRow("with Alt held both stay at the mouse")
            << 1 << 298.0 << Qt::KeyboardModifiers(Qt::AltModifier) << 196.0;
    }

    void keysPutCursorsAtTheMouse()
    {
        QFETCH(int, nodeB);
        QFETCH(double, mouseB);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(double, delta);
        QVERIFY(m_chart->scale() >= 1.0f); // so that one pixel is at most one microsecond
        QSignalSpy changes(marks(), &ChartMarks::cursorsChanged);
        const QImage before = shownPixels(m_chart->viewport());

        QTest::mouseMove(canvas(), pointAt(1, 102.0));
        QTest::keyClick(m_chart.get(), Qt::Key_1, modifiers);
        QTest::mouseMove(canvas(), pointAt(nodeB, mouseB));
        QTest::keyClick(m_chart.get(), Qt::Key_2, modifiers);

        QCOMPARE(changes.count(), 2);
        QVERIFY(marks()->cursorDelta());
        QVERIFY2(std::fabs(*marks()->cursorDelta() - delta) <= 1.0 / m_chart->scale(),
                 qPrintable(QString::number(*marks()->cursorDelta())));
        QCOMPARE(m_chart->marks()->rulerMarks().handles.size(), 2);
        // Drawn over the picture across the rows, and gone again without a
        // trace, also where the picture scrolled under the cursor.
        const int x = *marks()->cursorX(ChartMarks::CURSOR_A);
        QVERIFY(shownPixels(m_chart->viewport()).pixel(x, 2) != before.pixel(x, 2));
        m_chart->zoomIn();
        m_chart->centreOn(*marks()->cursorTime(ChartMarks::CURSOR_A));
        QCoreApplication::processEvents();
        m_chart->horizontalScrollBar()->setValue(m_chart->horizontalScrollBar()->value() + 7);
        QCoreApplication::processEvents();
        marks()->clearCursors();
        const QImage shown = shownPixels(m_chart->viewport());
        QCOMPARE(shown, m_chart->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32));
    }

    void addsABookmarkWhereTheUserPoints_data()
    {
        QTest::addColumn<bool>("mouseOverRows");
        QTest::addColumn<int>("node");
        QTest::addColumn<qint64>("time"); // the node's own microseconds

        QTest::newRow("at the mouse on a shifted node's row, on that node's clock")
            << true << 2 << qint64(200);
        QTest::newRow("away from the rows, at the current node's selection start")
            << false << 1 << qint64(300);
    }

    void addsABookmarkWhereTheUserPoints()
    {
        QFETCH(bool, mouseOverRows);
        QFETCH(int, node);
        QFETCH(qint64, time);
        BookmarkPanel panel;
        panel.setChart(m_chart.get());
        stateOf(m_first).selFirst = 3; // the event at 1000 us, selected backwards
        stateOf(m_first).selLast = 2;
        if (mouseOverRows)
            QTest::mouseMove(canvas(), pointAt(node, double(time)));

        QTimer::singleShot(0, [] { // the name dialog
            auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->setTextValue(QStringLiteral("Send"));
            dialog->accept();
        });
        marks()->addBookmark();

        const QList<Bookmark> stored = marks()->bookmarks().bookmarks();
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored[0].node, this->node(node)->traceFileName());
        QVERIFY2(std::llabs(stored[0].time - time) <= 1, qPrintable(QString::number(stored[0].time)));
        QCOMPARE(panel.table()->rowCount(), 1);
        QCOMPARE(panel.table()->item(0, BookmarkPanel::NAME_COLUMN)->text(), QStringLiteral("Send"));
        QCOMPARE(panel.table()->item(0, BookmarkPanel::NODE_COLUMN)->text(), this->node(node)->label());
        const QList<RulerMarks::Flag> flags = marks()->rulerMarks().flags;
        QCOMPARE(flags.size(), 1);
        QVERIFY(std::abs(flags[0].x - pointAt(node, double(time)).x()) <= 1);
    }

    void thePanelEditsTheStoredBookmarks_data()
    {
        QTest::addColumn<bool>("remove"); // else rename
        QTest::newRow("Delete removes the selected bookmark from the file") << true;
        QTest::newRow("a name edited in place is saved") << false;
    }

    void thePanelEditsTheStoredBookmarks()
    {
        QFETCH(bool, remove);
        ProjectBookmarks &bookmarks = marks()->bookmarks();
        bookmarks.add({QStringLiteral("first"), m_first->traceFileName(), 100});
        bookmarks.add({QStringLiteral("second"), m_second->traceFileName(), 200});
        BookmarkPanel panel;
        panel.setChart(m_chart.get());
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        panel.table()->selectRow(0);
        panel.table()->setFocus();

        if (remove)
            QTest::keyClick(panel.table(), Qt::Key_Delete);
        else
            panel.table()->item(0, BookmarkPanel::NAME_COLUMN)->setText(QStringLiteral("renamed"));

        BookmarkStore file(project);
        QVERIFY(file.load());
        const QStringList names = remove ? QStringList{QStringLiteral("second")}
                                         : QStringList{QStringLiteral("renamed"), QStringLiteral("second")};
        QStringList stored;
        for (const Bookmark &bookmark : file.bookmarks())
            stored.append(bookmark.name);
        QCOMPARE(stored, names);
        QCOMPARE(panel.table()->rowCount(), names.size());
        m_chart.reset(); // the panel empties with its chart gone
        QCOMPARE(panel.table()->rowCount(), 0);
    }
};

QTEST_MAIN(TestChartMarks)
#include "tst_chartmarks.moc"
