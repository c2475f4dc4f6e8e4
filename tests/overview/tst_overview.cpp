#include "chart/activityprofile.h"
#include "chart/axistime.h"
#include "chart/logtime.h"
#include "chart/overviewactivity.h"
#include "chart/overviewpainter.h"
#include "chart/overviewscale.h"
#include "chart/viewroot.h"
#include "nodefixture.h"
#include "testsupport.h"
#include "trace/eventcatalogue.h"
#include "trace/node.h"
#include "tracefixture.h"

#include <QPainter>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

// One event of a hand-made node: a task switch to `task`, a user marker set
// by `task`, or a service request in whatever task runs.
struct Step
{
    qint32 type = EventType::ServiceRequest;
    quint32 time = 0; // microseconds
    int task = 0;
};

constexpr int Idle = 1;
constexpr int Worker = 2;
constexpr int Undeclared = 9;

Step switchTo(quint32 time, int task)
{
    return {EventType::TaskSwitch, time, task};
}

Step request(quint32 time)
{
    return {EventType::ServiceRequest, time, 0};
}

} // namespace

Q_DECLARE_METATYPE(Step)
Q_DECLARE_METATYPE(QVector<Step>)
Q_DECLARE_METATYPE(QVector<float>)

class TestOverview : public QObject
{
    Q_OBJECT

private:
    const EventCatalogue m_catalogue;
    int m_files = 0;

    // A node with a kernel (0), an idle task (1) and a worker (2) running `steps`.
    std::unique_ptr<Node> load(const QVector<Step> &steps)
    {
        QByteArray events;
        for (const Step &s : steps) {
            const qint32 param1 = s.type == EventType::UserMarker ? s.task << 16 : 0;
            const qint32 param2 = s.type == EventType::TaskSwitch ? s.task : 0;
            events += TraceFixture::eventXml(s.type, s.time, param1, param2);
        }
        const QByteArray tasks = "<tasks><task id=\"0\" name=\"Kernel\"/><task id=\"1\" name=\"Idle\"/>"
                                 "<task id=\"2\" name=\"Worker\"/></tasks>\n";
        const QString path =
            TestSupport::writeTempFile(QStringLiteral("overview"), QStringLiteral("n%1.trace").arg(++m_files),
                                       TraceFixture::traceFile(1, tasks, events));
        return std::make_unique<Node>(path, nullptr, FROM_TRACER, &m_catalogue);
    }

private slots:
    void columnsAndTimesRoundTrip_data()
    {
        QTest::addColumn<qint64>("length"); // microseconds
        QTest::addColumn<int>("columns");

        QTest::newRow("a third of a microsecond per column") << qint64(7) << 21;
        QTest::newRow("the longest trace, 2^32 - 1 us") << qint64(4294967295) << 1400;
        QTest::newRow("a view without length counts as one microsecond") << qint64(0) << 50;
    }

    // Every column's left edge and middle come back to the column; a time just
    // left of an edge belongs to the column before; times outside the range
    // lie outside the columns.
    void columnsAndTimesRoundTrip()
    {
        QFETCH(qint64, length);
        QFETCH(int, columns);
        const OverviewScale scale(length, columns);
        for (int x = 0; x <= columns; ++x) {
            const double edge = scale.timeAt(x);
            QCOMPARE(scale.xOf(edge), x);
            QCOMPARE(scale.xOf(std::nextafter(edge, -1.0)), x - 1);
            if (x < columns)
                QCOMPARE(scale.xOf(scale.timeAt(x + 0.5)), x);
        }
        QCOMPARE(scale.xOf(double(scale.length())), columns);
        QVERIFY(scale.xOf(-1.0) < 0);
    }

    void logPositionsAndTimesRoundTrip_data()
    {
        QTest::addColumn<double>("time"); // microseconds since the node's first event
        QTest::addColumn<double>("back"); // the time its log position reads as

        QTest::newRow("between two events") << 375.0 << 375.0;
        QTest::newRow("where two events start together") << 300.0 << 300.0;
        QTest::newRow("past the last event: held to it") << 5000.0 << 1000.0;
        QTest::newRow("before the first event: held to it") << -50.0 << 0.0;
    }

    void logPositionsAndTimesRoundTrip()
    {
        QFETCH(double, time);
        QFETCH(double, back);
        const auto node = nodeAt({0, 100, 200, 300, 300, 450, 1000});
        const double position = AxisTime::logPositionAt(*node, time);
        QVERIFY(qAbs(LogTime::timeAt(*node, float(position)) - back) < 0.01);
        // Within the events, the chart's own search finds the same position.
        if (back == time)
            QVERIFY(qAbs(LogTime::positionAt(*node, time) - position) < 0.01);
    }

    void activityShadesTheColumns_data()
    {
        QTest::addColumn<QVector<Step>>("steps");
        QTest::addColumn<int>("shift");             // microseconds
        QTest::addColumn<QVector<float>>("shares"); // 100 us columns over 400 us, 500 with a shift
        QTest::addColumn<QList<int>>("extent");     // first and end column of the node's events

        QTest::newRow("a task running half of a column shades it half")
            << QVector<Step>{switchTo(0, Worker), switchTo(50, Idle), request(400)} << 0
            << QVector<float>{0.5f, 0, 0, 0} << QList<int>{0, 4};
        QTest::newRow("a slice over several columns fills those it covers whole")
            << QVector<Step>{switchTo(0, Idle), switchTo(50, Worker), switchTo(350, Idle), request(390)} << 0
            << QVector<float>{0.5f, 1, 1, 0.5f} << QList<int>{0, 4};
        QTest::newRow("a shift of 100 us moves the same work a column right")
            << QVector<Step>{switchTo(0, Idle), switchTo(50, Worker), switchTo(350, Idle), request(390)}
            << 100 << QVector<float>{0, 0.5f, 1, 1, 0.5f} << QList<int>{1, 5};
        QTest::newRow("the kernel and a task the node never declared are busy")
            << QVector<Step>{request(0), switchTo(100, Undeclared), switchTo(200, Idle), request(300)} << 0
            << QVector<float>{1, 1, 0, 0} << QList<int>{0, 4};
        // A marker's task is the one that set it; the running task goes on.
        QTest::newRow("a marker set by the idle task takes no time from the running one")
            << QVector<Step>{switchTo(0, Worker),
                             {EventType::UserMarker, 100, Idle},
                             switchTo(200, Idle),
                             request(300)}
            << 0 << QVector<float>{1, 1, 0, 0} << QList<int>{0, 4};
    }

    void activityShadesTheColumns()
    {
        QFETCH(QVector<Step>, steps);
        QFETCH(int, shift);
        QFETCH(QVector<float>, shares);
        const auto node = load(steps);
        const ActivityProfile profile =
            ActivityProfile::of(*node, shift, OverviewScale(100 * shares.size(), int(shares.size())));
        QCOMPARE(QVector<float>(profile.shares.begin(), profile.shares.end()), shares);
        QTEST((QList<int>{profile.first, profile.end}), "extent");
    }

    void profilesAreComputedOnlyWhenTheirInputsChange_data()
    {
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("shift"); // of the second node, microseconds
        QTest::addColumn<int>("computed");

        QTest::newRow("the same width again computes nothing") << 400 << 0 << 0;
        QTest::newRow("another width computes every node") << 300 << 0 << 2;
        QTest::newRow("a moved node computes that node alone") << 400 << 40 << 1;
    }

    void profilesAreComputedOnlyWhenTheirInputsChange()
    {
        QFETCH(int, columns);
        QFETCH(int, shift);
        const auto first = load({switchTo(0, Worker), request(400)});
        const auto second = load({switchTo(0, Idle), request(300)});
        ViewRoot root;
        root.addViewedNode(first.get());
        root.addViewedNode(second.get());
        OverviewActivity activity;
        activity.profiles(root, 400);
        QCOMPARE(activity.computations(), 2);
        static_cast<ViewNode *>(root.child(1))->setShift(shift);
        const std::vector<ActivityProfile> &profiles = activity.profiles(root, columns);
        QTEST(activity.computations() - 2, "computed");
        QVERIFY(profiles.size() == 2 && profiles[1].shares.size() == size_t(columns));
    }

    // A find match's ticks fill the margins above and below the bands and leave the bands alone.
    void matchTicksStayInTheMargins()
    {
        OverviewContent content;
        content.scale = OverviewScale(100, 100);
        content.matches = {40};
        const QRect strip(0, 0, 100, OverviewPainter::heightFor(1));
        QImage image(strip.size(), QImage::Format_RGB32);
        QPainter painter(&image);
        OverviewPainter(painter).paint(content, strip, 0);
        painter.end();
        QList<int> ticked;
        for (int y = 0; y < strip.height(); ++y) {
            if (image.pixel(40, y) == image.pixel(40, 0))
                ticked << y;
        }
        // 3 px margins; the strip's last row is its border.
        const int bottom = strip.bottom();
        QCOMPARE(ticked, (QList<int>{0, 1, 2, bottom - 3, bottom - 2, bottom - 1}));
    }
};

QTEST_MAIN(TestOverview)
#include "tst_overview.moc"
