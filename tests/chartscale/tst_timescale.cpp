#include "chart/chartmapper.h"
#include "chart/rulermarks.h"
#include "chart/timeruler.h"
#include "chart/timescale.h"
#include "chart/timetext.h"
#include "chart/viewhistory.h"
#include "nodefixture.h"
#include "trace/node.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <iterator>
#include <limits>
#include <memory>

Q_DECLARE_METATYPE(TimeScale)
Q_DECLARE_METATYPE(TraceEvent)
Q_DECLARE_METATYPE(TimeScale::ChartState)
Q_DECLARE_METATYPE(TimeScale::Viewport)

namespace {

TraceEvent makeEvent(quint32 offset, quint32 duration, float logPosition = 0, float logDuration = 0)
{
    TraceEvent e;
    e.offset = offset;
    e.duration = duration;
    e.logPosition = logPosition;
    e.logDuration = logDuration;
    return e;
}

// `scale` px per microsecond, or per logarithmic unit when `log`.
TimeScale at(float scale, bool log = false)
{
    TimeScale timeScale;
    timeScale.setLinearMode(!log);
    log ? timeScale.setLogScale(scale) : timeScale.setLinScale(scale);
    return timeScale;
}

TimeScale::Viewport viewport(int chartWidth, int headerShift, int lengthLin, int lengthLog,
                             int chartHeight = 300, int visibleRows = 5)
{
    return {chartWidth, chartHeight, headerShift, lengthLin, lengthLog, visibleRows};
}

} // namespace

class TestTimeScale : public QObject
{
    Q_OBJECT

private slots:
    void eventSpansItsPixels_data()
    {
        QTest::addColumn<TimeScale>("timeScale");
        QTest::addColumn<TraceEvent>("e");
        QTest::addColumn<int>("shift");
        QTest::addColumn<int>("h");
        QTest::addColumn<QList<int>>("leftRight");

        const TraceEvent logEvent = makeEvent(5000, 900, 3.5f, 1.25f);
        QTest::newRow("left of the viewport both ends truncate toward zero")
            << at(0.5f) << makeEvent(101, 10) << 0 << 60 << QList<int>{-9, -5};
        QTest::newRow("offsets beyond 2^24 us round to single precision, a zero length a pixel left")
            << at(1) << makeEvent(16777217u, 0) << 0 << 0 << QList<int>{16777216, 16777215};
        QTest::newRow("the largest offset with a shift does not wrap")
            << at(0.001f) << makeEvent(4294967295u, 0) << 1000000 << 0 << QList<int>{4295967, 4295966};
        QTest::newRow("logarithmic mode applies the scroll value but ignores the node shift")
            << at(2, true) << logEvent << 500 << 5 << QList<int>{2, 3};
    }

    void eventSpansItsPixels()
    {
        QFETCH(TimeScale, timeScale);
        QFETCH(TraceEvent, e);
        QFETCH(int, shift);
        QFETCH(int, h);

        const ChartMapper mapper(timeScale, h);
        QTEST((QList<int>{mapper.leftX(e, shift), mapper.rightX(e, shift)}), "leftRight");
    }

    void eventRangeOfAStretch_data()
    {
        QTest::addColumn<QList<quint32>>("times");
        QTest::addColumn<TimeScale>("timeScale");
        QTest::addColumn<QList<int>>("hShiftRight"); // scroll value, shift, right x
        QTest::addColumn<QList<int>>("range");       // first, end

        // Log positions: 0, 4.6, 9.2, 13.8 twice, 18.8, 25.1.
        const QList<quint32> sample{0, 100, 200, 300, 300, 450, 1000};
        QTest::newRow("scrolled: from the event running at the left edge")
            << sample << at(1) << QList<int>{250, 0, 100} << QList<int>{2, 5};
        // The rows begin at int(50.5) = 50 px: time 100 lies at the left edge, not 99.
        QTest::newRow("the left edge's time counts from the rows' truncated left end")
            << sample << at(0.5f) << QList<int>{100, 101, 10} << QList<int>{1, 2};
        QTest::newRow("scrolled past the node's last event: none")
            << sample << at(1) << QList<int>{1001, 0, 10} << QList<int>{-1, 0};
        QTest::newRow("logarithmic: log units, the shift ignored")
            << sample << at(2, true) << QList<int>{20, 500, 10} << QList<int>{2, 5};
        // Bisection would take event 2 (50 us) in as well.
        QTest::newRow("a clock stepping back: the end is where the first event beyond the edge is")
            << QList<quint32>{0, 100, 50, 200} << at(1) << QList<int>{0, 0, 60} << QList<int>{0, 1};
    }

    void eventRangeOfAStretch()
    {
        QFETCH(QList<quint32>, times);
        QFETCH(TimeScale, timeScale);
        QFETCH(QList<int>, hShiftRight);

        const auto node = nodeAt(times);
        const ShownEvents range =
            ChartMapper(timeScale, hShiftRight[0]).eventsBetween(*node, hShiftRight[1], 0, hShiftRight[2]);
        QTEST((QList<int>{range.first, range.end}), "range");
    }

    void eventUnderEveryPixel_data()
    {
        QTest::addColumn<TimeScale>("timeScale");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("shift");

        QTest::newRow("linear zoomed in, scrolled, shifted") << at(4) << 37 << 25;
        QTest::newRow("linear zoomed out, shifted left of the origin") << at(0.25f) << 0 << -40;
        QTest::newRow("the largest offsets at a tiny scale, scrolled and shifted")
            << at(0.001f) << 4000000 << 1000;
        QTest::newRow("logarithmic, the shift ignored") << at(8, true) << 11 << 300;
    }

    // x -> event: the event under every pixel holds the (whole) time under it and starts at or left
    // of it; time -> x -> time: the time under an event's left x lies within a pixel of its start.
    void eventUnderEveryPixel()
    {
        QFETCH(TimeScale, timeScale);
        QFETCH(int, h);
        QFETCH(int, shift);

        // Gaps of 0 and 1 us give runs of equal positions in both modes.
        QList<quint32> times;
        quint32 time = 0;
        const quint32 gaps[] = {0, 1, 0, 0, 7, 1, 1, 30, 0, 2, 250, 0, 1, 4, 9000, 3};
        for (int i = 0; i < 300; time += gaps[i % std::size(gaps)], ++i)
            times.append(time);
        if (timeScale.scale() < 0.01f)
            times = {0, 1000, 4294967295u};
        const auto node = nodeAt(times);
        const std::vector<TraceEvent> &events = node->events();
        const bool logMode = timeScale.logMode();
        const auto startOf = [](const TraceEvent &e, bool log) {
            return log ? e.logPosition : float(e.offset);
        };
        const ChartMapper mapper(timeScale, h);
        for (const TraceEvent &e : events) {
            // Single precision leaves a few units of error on the largest offsets.
            const float t = startOf(e, logMode), slack = std::max(t, 1.0f) * 1e-6f;
            const float back = mapper.timeAt(mapper.leftX(e, shift), shift);
            QVERIFY2(qAbs(t - back) < 1.0f / timeScale.scale() + slack, QByteArray::number(t).constData());
        }
        const int lastX = std::min(mapper.leftX(events.back(), shift), 20000);
        for (int x = -3; x <= lastX + 3; ++x) {
            const int i = mapper.eventUnder(*node, x, shift);
            const float at = float(std::max(TimeScaleDetail::toPixel(mapper.timeAt(x, shift)), 0));
            const QByteArray where = "x " + QByteArray::number(x);
            if (at > startOf(events.back(), logMode)) {
                QVERIFY2(i == -1, where.constData());
                continue;
            }
            QVERIFY2(i >= 0 && i < int(events.size()), where.constData());
            QVERIFY2(startOf(events[size_t(i)], logMode) <= at, where.constData());
            QVERIFY2(mapper.leftX(events[size_t(i)], shift) <= qMax(x, mapper.leftX(events.front(), shift)),
                     where.constData());
            if (i + 1 < int(events.size()))
                QVERIFY2(at < startOf(events[size_t(i) + 1], logMode), where.constData());
        }
    }

    void contentWidthAndZoomOut_data()
    {
        QTest::addColumn<TimeScale>("timeScale");
        QTest::addColumn<TimeScale::Viewport>("v");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("zoomOut");

        QTest::newRow("content exactly as wide as the chart offers no zoom-out")
            << at(1) << viewport(800, 0, 800, 40) << 803 << false;
        QTest::newRow("half a pixel wider offers zoom-out, as real numbers; the width is truncated")
            << at(0.5f) << viewport(800, 0, 1601, 40) << 803 << true;
        QTest::newRow("wide logarithmic content behind the external header offers zoom-out")
            << at(2, true) << viewport(800, 200, 10, 401) << 1005 << true;
        QTest::newRow("a scale zoomed in without end saturates")
            << at(1e30f) << viewport(800, 0, 1000, 40) << std::numeric_limits<int>::max() << true;
    }

    void contentWidthAndZoomOut()
    {
        QFETCH(TimeScale, timeScale);
        QFETCH(TimeScale::Viewport, v);

        QTEST(timeScale.contentWidth(v.lengthLin, v.lengthLog, v.headerShift), "width");
        QTEST(timeScale.canZoomOut(v.chartWidth, v.lengthLin, v.lengthLog), "zoomOut");
    }

    void fittingToTheWindow_data()
    {
        QTest::addColumn<bool>("logMode");
        QTest::addColumn<TimeScale::Viewport>("v");
        QTest::addColumn<TimeScale::ChartState>("state");
        QTest::addColumn<float>("scale");
        QTest::addColumn<QList<int>>("sizes"); // canvas height, horizontal and vertical maximum; or none

        const auto fitted = TimeScale::SCALE_CHANGED;
        const auto kept = TimeScale::LAYOUT_CHANGED;
        TimeScale::Viewport rootless = viewport(800, 0, 5000, 40, 100, 10);
        rootless.hasRoot = false;
        QTest::newRow("ten rows in a 100 px chart scroll by the rest")
            << false << viewport(800, 0, 5000, 40, 100, 10) << kept << 1.0f << QList<int>{217, 4203, 117};
        QTest::newRow("without a root both ranges are empty")
            << false << rootless << kept << 1.0f << QList<int>{37, 0, 0};
        QTest::newRow("content one pixel inside the margin is fitted")
            << false << viewport(800, 0, 793, 30) << fitted << 800.0f / 793.0f << QList<int>();
        QTest::newRow("content reaching the margin keeps the scale")
            << false << viewport(800, 0, 794, 30) << kept << 1.0f << QList<int>();
        QTest::newRow("logarithmic fitting leaves the external header out")
            << true << viewport(800, 200, 500, 30) << fitted << 597.0f / 30.0f << QList<int>();
    }

    void fittingToTheWindow()
    {
        QFETCH(bool, logMode);
        QFETCH(TimeScale::Viewport, v);
        QFETCH(TimeScale::ChartState, state);
        QFETCH(QList<int>, sizes);

        TimeScale timeScale;
        timeScale.setLinearMode(!logMode);
        const TimeScale::Layout layout = timeScale.relayout(v);
        QCOMPARE(layout.state, state);
        QTEST(timeScale.scale(), "scale");
        // Without a root the chart has no content.
        QCOMPARE(layout.canvasWidth, timeScale.contentWidth(v.hasRoot ? v.lengthLin : 0,
                                                            v.hasRoot ? v.lengthLog : 0, v.headerShift));
        QCOMPARE((QList<int>{layout.horizontalPageStep, layout.verticalPageStep}),
                 (QList<int>{v.chartWidth, v.chartHeight}));
        if (!sizes.isEmpty())
            QCOMPARE((QList<int>{layout.canvasHeight, layout.horizontalMaximum, layout.verticalMaximum}),
                     sizes);
        // The other mode's scale is left alone; a logarithmic fit leaves nothing to scroll.
        QCOMPARE(logMode ? timeScale.linScale() : timeScale.logScale(), logMode ? 1.0f : 2.0f);
        if (logMode && state == TimeScale::SCALE_CHANGED)
            QCOMPARE(layout.horizontalMaximum, 0);
    }

    // Rounding width / length to single precision must neither leave more
    // than S + 3 px to scroll nor offer a zoom-out that would only fit again.
    void linearFitNeverOffersZoomOut()
    {
        for (const int headerShift : {0, 200}) {
            for (int chartWidth = 300; chartWidth <= 2000; chartWidth += 37) {
                for (int length = 1; length < chartWidth - 3 - 2 * headerShift; length += 11) {
                    TimeScale timeScale = at(0.5f);
                    const TimeScale::Layout layout =
                        timeScale.relayout(viewport(chartWidth, headerShift, length, 0));
                    const QByteArray where = QByteArray::number(chartWidth) + " px, length " +
                                             QByteArray::number(length) + ", header " +
                                             QByteArray::number(headerShift);
                    QVERIFY2(layout.state == TimeScale::SCALE_CHANGED &&
                                 !timeScale.canZoomOut(chartWidth, length, 0) &&
                                 qAbs(layout.horizontalMaximum - headerShift - 2.5) < 1,
                             where.constData());
                }
            }
        }
    }

    // A moment shows every microsecond in seconds; a span the unit it reaches (a whole millisecond
    // once rounded up), its microseconds without trailing zeros and its sign.
    void timeTexts()
    {
        const QStringList texts{TimeText::instant(25123456.4), TimeText::span(820.0),
                                TimeText::span(1250.0),        TimeText::span(999.6),
                                TimeText::span(2000500.0),     TimeText::span(-1500.0)};
        QCOMPARE(texts.join(QLatin1Char('|')),
                 QStringLiteral("25.123456 s|820 \u00B5s|1.25 ms|1 ms|2.0005 s|-1.5 ms"));
    }

    void rulerTicks_data()
    {
        QTest::addColumn<TimeScale>("timeScale");
        QTest::addColumn<QList<int>>("scrollWidth"); // pixels
        QTest::addColumn<QList<quint32>>("times");   // the logarithmic node's offsets; none: no node
        QTest::addColumn<int>("firstX");
        QTest::addColumn<qint64>("step");    // microseconds
        QTest::addColumn<QString>("labels"); // "us": microseconds

        QTest::newRow("50 px per 100 us is too close: 100 us steps from 0, read as tenths of a ms")
            << at(1) << QList<int>{0, 250} << QList<quint32>() << 0 << qint64(100) << "0.0 ms|0.1 ms|0.2 ms";
        QTest::newRow("scrolled to 3.2 ms, a 2 ms step starts at 4 ms in whole ms")
            << at(1.0f / 32) << QList<int>{100, 160} << QList<quint32>() << 25 << qint64(2000)
            << "4 ms|6 ms|8 ms";
        QTest::newRow("a 200 ms step reads in seconds")
            << at(1.0f / 2048) << QList<int>{0, 200} << QList<quint32>() << 0 << qint64(200000)
            << "0.0 s|0.2 s|0.4 s";
        QTest::newRow("beyond 60 px per us every microsecond, a tick on the left edge")
            << at(64) << QList<int>{640, 150} << QList<quint32>() << 0 << qint64(1) << "10 us|11 us|12 us";
        QTest::newRow("a scale of 0 has no ticks")
            << at(0) << QList<int>{0, 500} << QList<quint32>() << -1 << qint64(0) << "";

        // Log positions: 0, 4.61, 9.21, 13.82 twice, 18.83, 25.14; a tick every 5 units.
        const QList<quint32> sample{0, 100, 200, 300, 300, 450, 1000};
        QTest::newRow("logarithmic: times interpolated between the events around, none past the last")
            << at(12, true) << QList<int>{0, 400} << sample << 0 << qint64(0)
            << "0 us|109 us|217 us|335 us|552 us|988 us";
        QTest::newRow("logarithmic, scrolled one pixel past a tick: the next is the first")
            << at(12, true) << QList<int>{61, 200} << sample << 59 << qint64(0) << "217 us|335 us|552 us";
        // A 1 us event takes no log width: its start and the next share position 0.
        QTest::newRow("logarithmic: the first of events starting together, three digits in ms and s")
            << at(10, true) << QList<int>{0, 180} << QList<quint32>{0, 1, 2000000} << 0 << qint64(0)
            << "0 us|827 ms|1.65 s";
    }

    // Besides the table, every tick lies in the visible width and at least 60 px right of the last.
    void rulerTicks()
    {
        QFETCH(TimeScale, timeScale);
        QFETCH(QList<int>, scrollWidth);
        QFETCH(QList<quint32>, times);
        QFETCH(QString, labels);

        const auto node = times.isEmpty() ? nullptr : nodeAt(times);
        const TimeRuler ruler(ChartMapper(timeScale, scrollWidth[0]), scrollWidth[1], node.get());
        QStringList actual;
        for (const RulerTick &tick : ruler.ticks()) {
            QVERIFY(tick.x >= 0 && tick.x < scrollWidth[1]);
            QVERIFY(actual.isEmpty() || tick.x - ruler.ticks()[actual.size() - 1].x >= TimeRuler::minSpacing);
            actual << tick.label;
        }
        QCOMPARE(actual.join(QLatin1Char('|')),
                 labels.replace(QLatin1String("us"), QStringLiteral("\u00B5s")));
        QTEST(ruler.ticks().isEmpty() ? -1 : ruler.ticks().first().x, "firstX");
        QTEST(ruler.step(), "step");
    }

    // The marks over a white ruler strip, read where no text reaches: a match's tick 5 px down from
    // the top, across the pennant's middle row (its pole, 7 px of flag, its name's ground), down a
    // cursor's line and on the top of the frame around the time between the cursors.
    void rulerMarksKeepTheirShapes()
    {
        RulerMarks marks;
        marks.matches = {20};
        marks.flags = {{50, QString()}};
        marks.handles = {{150, QStringLiteral("A"), Qt::red}, {250, QStringLiteral("B"), Qt::blue}};
        marks.delta = QStringLiteral("1 ms");
        QImage image(300, 24, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        marks.paint(painter, QFont(), image.rect(), 0);
        painter.end();
        const QHash<QRgb, QChar> names{{qRgb(0xB0, 0x30, 0xC0), u'm'}, {qRgb(0x20, 0x90, 0x30), u'f'},
                                       {qRgb(0xE2, 0xF2, 0xE2), u'n'}, {qRgb(255, 0, 0), u'a'},
                                       {qRgb(0, 0, 0), u'k'},          {qRgb(255, 255, 255), u'.'}};
        const auto read = [&](QPoint from, QPoint step, int count) {
            QString text;
            for (QPoint p = from; count-- > 0; p += step)
                text += names.value(image.pixel(p), u'?');
            return text;
        };
        QCOMPARE((QStringList{read({20, 0}, {0, 1}, 7), read({48, 4}, {1, 0}, 14), read({150, 0}, {0, 1}, 4),
                              read({200, 0}, {1, 0}, 1)}),
                 (QStringList{QStringLiteral("mmmmm.."), QStringLiteral("..ffffffffnn.."),
                              QStringLiteral("aaaa"), QStringLiteral("k")}));
    }

    void zoomMovesScaleAndScroll_data()
    {
        QTest::addColumn<bool>("logMode");
        QTest::addColumn<bool>("in");
        QTest::addColumn<int>("scroll");
        QTest::addColumn<float>("scale");
        QTest::addColumn<int>("newScroll");

        QTest::newRow("zooming in truncates the scroll value") << false << true << 7 << 1.2f << 8;
        QTest::newRow("zooming in logarithmically at 500 scrolls to 550")
            << true << true << 500 << 2.2f << 550;
        // 600 / 1.2f is 499.99997 in single precision: in and out again may leave the view a pixel left.
        QTest::newRow("zooming out at 600 lands just below 500")
            << false << false << 600 << 1.0f / 1.2f << 499;
    }

    void zoomMovesScaleAndScroll()
    {
        QFETCH(bool, logMode);
        QFETCH(bool, in);
        QFETCH(int, scroll);
        QFETCH(int, newScroll);

        TimeScale timeScale;
        timeScale.setLinearMode(!logMode);
        const float other = logMode ? timeScale.linScale() : timeScale.logScale();
        QCOMPARE(in ? timeScale.zoomIn(scroll) : timeScale.zoomOut(scroll, 800, 1000000, 1000).value_or(-1),
                 newScroll);
        QCOMPARE(logMode ? timeScale.linScale() : timeScale.logScale(), other);
        // Switching modes keeps both scales, so switching back returns to this zoom.
        QVERIFY(!timeScale.setLinearMode(!logMode) && timeScale.setLinearMode(logMode));
        QVERIFY(timeScale.setLinearMode(!logMode));
        QTEST(timeScale.scale(), "scale");
    }

    void zoomAtAPointKeepsTheTimeUnderIt_data()
    {
        QTest::addColumn<bool>("logMode");
        QTest::addColumn<int>("headerShift");
        QTest::newRow("linear, behind the external header") << false << 150;
        QTest::newRow("logarithmic, behind an odd header shift") << true << 37;
    }

    void zoomAtAPointKeepsTheTimeUnderIt()
    {
        QFETCH(bool, logMode);
        QFETCH(int, headerShift);
        constexpr int width = 900;
        constexpr int lengthLin = 25000000; // 25 s
        constexpr int lengthLog = 300;
        TimeScale timeScale;
        timeScale.setLinearMode(!logMode);
        QRandomGenerator random(20261207);
        int scroll = 0;
        for (int step = 0; step < 400; ++step) {
            const double x = random.bounded(width - headerShift);
            const double time = timeScale.timeAt(x, scroll);
            // Nothing to zoom out to would leave the time a million pixels away.
            scroll = random.bounded(2) == 0 || !timeScale.canZoomOut(width, lengthLin, lengthLog)
                         ? timeScale.zoomInAt(scroll, x)
                         : timeScale.zoomOutAt(scroll, x, width, lengthLin, lengthLog).value_or(-1000000);
            const double shownAt = time * double(timeScale.scale()) - scroll;
            QVERIFY2(std::abs(shownAt - x) <= 1.0,
                     qPrintable(QStringLiteral("step %1: x %2 moved to %3").arg(step).arg(x).arg(shownAt)));
        }
    }

    void fittingARange_data()
    {
        QTest::addColumn<bool>("logMode");
        QTest::addColumn<int>("headerShift");
        QTest::addColumn<double>("first");
        QTest::addColumn<double>("last");
        QTest::newRow("the whole linear range fills the width less the margin")
            << false << 0 << 0.0 << 25000000.0;
        QTest::newRow("a stretch of a logarithmic chart behind the external header")
            << true << 150 << 40.5 << 77.25;
        QTest::newRow("a single microsecond in the middle of a long trace") << false << 150 << 1e5 << 1e5 + 1;
        QTest::newRow("a range without duration is widened to a unit around it") << false << 0 << 5e5 << 5e5;
    }

    void fittingARange()
    {
        QFETCH(bool, logMode);
        QFETCH(int, headerShift);
        QFETCH(double, first);
        QFETCH(double, last);
        constexpr int width = 900;
        TimeScale timeScale;
        timeScale.setLinearMode(!logMode);
        const int scroll = timeScale.fitRange(first, last, width, headerShift);
        const double widened = qMax(last - first, 1.0);
        const double start = (first + last - widened) / 2.0;
        const double scale = double(timeScale.scale());
        const int available = width - 3 - headerShift;
        QVERIFY(std::abs(start * scale - scroll) <= 1.0);
        QVERIFY2(widened * scale <= available && widened * scale > available - 1,
                 qPrintable(QString::number(widened * scale)));
        // Fitted to everything, there is nothing more to zoom out to.
        if (first == 0.0)
            QVERIFY(!timeScale.canZoomOut(width, int(last), int(last)));
    }

    void historySteps_data()
    {
        // "+n" leaves the view at scroll n for a new one; "<n" and ">n" step back
        // and forward from the view at n, giving the restored view's scroll or -1.
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QList<int>>("restored");
        QTest::addColumn<QList<bool>>("can"); // go back, go forward
        QTest::newRow("back returns the views left, latest first")
            << "+1 +2 <3 <2 <1" << QList<int>{2, 1, -1} << QList<bool>{false, true};
        QTest::newRow("forward returns the views back left, with their scroll")
            << "+1 +2 <3 <2 >1 >2" << QList<int>{2, 1, 2, 3} << QList<bool>{true, false};
        QTest::newRow("a new step after back drops the steps forward")
            << "+1 +2 <3 +2 >5" << QList<int>{2, -1} << QList<bool>{true, false};
        QTest::newRow("the oldest steps go beyond the capacity")
            << QStringLiteral("+0 ").repeated(100) + QStringLiteral("+7 <8 <7") << QList<int>{7, 0}
            << QList<bool>{true, true};
    }

    void historySteps()
    {
        QFETCH(QString, steps);
        ViewHistory history;
        QList<int> actual;
        for (const QString &step : steps.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const ViewHistory::Entry at{TimeScale(), step.mid(1).toInt()};
            if (step.startsWith(QLatin1Char('+')))
                history.leave(at);
            else
                actual << ((step.startsWith(QLatin1Char('<')) ? history.back(at) : history.forward(at))
                               .value_or(ViewHistory::Entry{TimeScale(), -1})
                               .horizontalScroll);
        }
        QTEST(actual, "restored");
        QTEST((QList<bool>{history.canGoBack(), history.canGoForward()}), "can");
    }
};

QTEST_MAIN(TestTimeScale)
#include "tst_timescale.moc"
