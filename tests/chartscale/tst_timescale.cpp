#include "chart/timescale.h"

#include <QtTest>

#include <cmath>
#include <limits>

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

TimeScale linAt(float scale)
{
    TimeScale timeScale;
    timeScale.setLinScale(scale);
    return timeScale;
}

TimeScale logAt(float scale)
{
    TimeScale timeScale;
    timeScale.setLinearMode(false);
    timeScale.setLogScale(scale);
    return timeScale;
}

TimeScale::Viewport viewport(int chartWidth, int headerShift, int lengthLin, int lengthLog)
{
    TimeScale::Viewport v;
    v.chartWidth = chartWidth;
    v.chartHeight = 300;
    v.headerShift = headerShift;
    v.lengthLin = lengthLin;
    v.lengthLog = lengthLog;
    v.visibleRowCount = 5;
    return v;
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
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");

        QTest::newRow("a linear event ends one pixel before the next begins")
            << linAt(1) << makeEvent(100, 50) << 0 << 0 << 100 << 149;
        QTest::newRow("a node shift moves the event right")
            << linAt(1) << makeEvent(100, 50) << 30 << 0 << 130 << 179;
        QTest::newRow("the scroll value moves it left, past the viewport's edge")
            << linAt(1) << makeEvent(100, 50) << 0 << 120 << -20 << 29;
        QTest::newRow("left of the viewport both ends truncate toward zero")
            << linAt(0.5f) << makeEvent(101, 10) << 0 << 60 << -9 << -5;
        QTest::newRow("a microsecond at 1.2 px covers a single pixel")
            << linAt(1.2f) << makeEvent(1000, 1) << 0 << 0 << 1200 << 1200;
        QTest::newRow("offsets beyond 2^24 us round to single precision, a zero length a pixel left")
            << linAt(1) << makeEvent(16777217u, 0) << 0 << 0 << 16777216 << 16777215;
        QTest::newRow("a zero-length event between pixels, scrolled, ends a pixel left of its start")
            << linAt(0.5f) << makeEvent(601, 0) << 0 << 100 << 200 << 199;
        QTest::newRow("a negative shift while a node is dragged counts as negative")
            << linAt(1) << makeEvent(10, 5) << -30 << 0 << -20 << -16;
        QTest::newRow("the largest offset with a shift does not wrap")
            << linAt(0.001f) << makeEvent(4294967295u, 0) << 1000000 << 0 << 4295967 << 4295966;
        QTest::newRow("a zero-length event inside the first pixel ends where it starts")
            << linAt(0.5f) << makeEvent(1, 0) << 0 << 0 << 0 << 0;
        QTest::newRow("a logarithmic event spans its logarithmic duration")
            << logAt(2) << makeEvent(5000, 900, 3.5f, 1.25f) << 0 << 0 << 7 << 8;
        QTest::newRow("logarithmic mode applies the scroll value but ignores the node shift")
            << logAt(2) << makeEvent(5000, 900, 3.5f, 1.25f) << 500 << 5 << 2 << 3;
        QTest::newRow("a zoomed logarithmic axis scales positions")
            << logAt(10) << makeEvent(5000, 900, 3.5f, 1.25f) << 0 << 0 << 35 << 46;
        // ln(0) is taken as 0, so the logarithmic bar is as empty as the linear one.
        QTest::newRow("a logarithmic event without duration ends a pixel left of its start")
            << logAt(2) << makeEvent(0, 0, 2.25f, 0) << 0 << 0 << 4 << 3;
    }

    void eventSpansItsPixels()
    {
        QFETCH(TimeScale, timeScale);
        QFETCH(TraceEvent, e);
        QFETCH(int, shift);
        QFETCH(int, h);
        QFETCH(int, left);
        QFETCH(int, right);

        QCOMPARE(timeScale.leftX(e, shift, h), left);
        QCOMPARE(timeScale.rightX(e, shift, h), right);
    }

    void timeUnderTheMouse_data()
    {
        QTest::addColumn<TimeScale>("timeScale");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("headerShift");
        QTest::addColumn<int>("shift");
        QTest::addColumn<float>("time");

        QTest::newRow("the scroll value adds to x") << linAt(1) << 150 << 50 << 0 << 0 << 200.f;
        QTest::newRow("the external header takes its width off x")
            << linAt(1) << 350 << 50 << 200 << 0 << 200.f;
        QTest::newRow("a larger scale gives less time per pixel") << linAt(2) << 101 << 0 << 0 << 0 << 50.5f;
        QTest::newRow("left of the node's first event the time is negative")
            << linAt(1) << 10 << 0 << 0 << 30 << -20.f;
        QTest::newRow("logarithmic units under the mouse") << logAt(2) << 9 << 1 << 0 << 0 << 5.f;
    }

    void timeUnderTheMouse()
    {
        QFETCH(TimeScale, timeScale);
        QFETCH(int, x);
        QFETCH(int, h);
        QFETCH(int, headerShift);
        QFETCH(int, shift);
        QFETCH(float, time);

        QCOMPARE(timeScale.timeAt(x, h, headerShift, shift), time);
    }

    void contentWidthAndZoomOut_data()
    {
        QTest::addColumn<TimeScale>("timeScale");
        QTest::addColumn<int>("lengthLin");
        QTest::addColumn<int>("lengthLog");
        QTest::addColumn<int>("headerShift");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("zoomOutIn800px");

        const int saturated = std::numeric_limits<int>::max();
        QTest::newRow("the length plus a 3 px margin") << linAt(1) << 1000 << 40 << 0 << 1003 << true;
        QTest::newRow("the external header adds its 200 px") << linAt(1) << 1000 << 40 << 200 << 1203 << true;
        QTest::newRow("content exactly as wide as the chart offers no zoom-out")
            << linAt(1) << 800 << 40 << 0 << 803 << false;
        QTest::newRow("half a pixel wider offers zoom-out, as real numbers; the width is truncated")
            << linAt(0.5f) << 1601 << 40 << 0 << 803 << true;
        QTest::newRow("logarithmic mode measures the logarithmic length")
            << logAt(2) << 1000000 << 300 << 0 << 603 << false;
        QTest::newRow("wide logarithmic content offers zoom-out")
            << logAt(2) << 10 << 401 << 200 << 1005 << true;
        QTest::newRow("an empty chart is header and margin") << linAt(1) << 0 << 0 << 200 << 203 << false;
        QTest::newRow("a scale zoomed in without end saturates")
            << linAt(1e30f) << 1000 << 40 << 0 << saturated << true;
    }

    void contentWidthAndZoomOut()
    {
        QFETCH(TimeScale, timeScale);
        QFETCH(int, lengthLin);
        QFETCH(int, lengthLog);
        QFETCH(int, headerShift);
        QFETCH(int, width);
        QFETCH(bool, zoomOutIn800px);

        QCOMPARE(timeScale.contentWidth(lengthLin, lengthLog, headerShift), width);
        QCOMPARE(timeScale.canZoomOut(800, lengthLin, lengthLog), zoomOutIn800px);
    }

    void fittingToTheWindow_data()
    {
        QTest::addColumn<bool>("logMode");
        QTest::addColumn<int>("chartWidth");
        QTest::addColumn<int>("headerShift");
        QTest::addColumn<int>("lengthLin");
        QTest::addColumn<int>("lengthLog");
        QTest::addColumn<TimeScale::ChartState>("state");
        QTest::addColumn<float>("scale");

        const auto fitted = TimeScale::SCALE_CHANGED;
        const auto kept = TimeScale::LAYOUT_CHANGED;
        QTest::newRow("narrow linear content fills the chart width")
            << false << 800 << 0 << 500 << 30 << fitted << 800.0f / 500.0f;
        QTest::newRow("linear fitting ignores the external header")
            << false << 800 << 200 << 300 << 30 << fitted << 800.0f / 300.0f;
        QTest::newRow("a linear fit whose quotient rounds up")
            << false << 374 << 0 << 298 << 10 << fitted << 374.0f / 298.0f;
        QTest::newRow("content one pixel inside the margin is fitted")
            << false << 800 << 0 << 793 << 30 << fitted << 800.0f / 793.0f;
        QTest::newRow("content reaching the margin keeps the scale")
            << false << 800 << 0 << 794 << 30 << kept << 1.0f;
        QTest::newRow("a linear length of 0 keeps the scale") << false << 800 << 0 << 0 << 30 << kept << 1.0f;
        QTest::newRow("narrow logarithmic content fills the width less margin")
            << true << 800 << 0 << 500 << 30 << fitted << 797.0f / 30.0f;
        QTest::newRow("logarithmic fitting leaves the external header out")
            << true << 800 << 200 << 500 << 30 << fitted << 597.0f / 30.0f;
        QTest::newRow("logarithmic fitting ignores the linear length")
            << true << 800 << 0 << 0 << 30 << fitted << 797.0f / 30.0f;
        QTest::newRow("a logarithmic length of 0 keeps the scale")
            << true << 800 << 0 << 500 << 0 << kept << 2.0f;
        QTest::newRow("wide logarithmic content keeps the scale")
            << true << 800 << 0 << 500 << 400 << kept << 2.0f;
    }

    void fittingToTheWindow()
    {
        QFETCH(bool, logMode);
        QFETCH(int, chartWidth);
        QFETCH(int, headerShift);
        QFETCH(int, lengthLin);
        QFETCH(int, lengthLog);
        QFETCH(TimeScale::ChartState, state);
        QFETCH(float, scale);

        TimeScale timeScale;
        timeScale.setLinearMode(!logMode);
        const TimeScale::Layout layout =
            timeScale.relayout(viewport(chartWidth, headerShift, lengthLin, lengthLog));
        QCOMPARE(layout.state, state);
        QCOMPARE(timeScale.scale(), scale);
        QCOMPARE(layout.canvasWidth, timeScale.contentWidth(lengthLin, lengthLog, headerShift));
        QVERIFY(std::isfinite(timeScale.scale()) && timeScale.scale() > 0);
        // The other mode's scale is left alone.
        QCOMPARE(logMode ? timeScale.linScale() : timeScale.logScale(), logMode ? 1.0f : 2.0f);
        if (state == TimeScale::SCALE_CHANGED) {
            if (logMode)
                QCOMPARE(layout.horizontalMaximum, 0);
            else
                QVERIFY2(layout.horizontalMaximum <= headerShift + 3,
                         qPrintable(QString::number(layout.horizontalMaximum)));
            // Everything is shown, so zooming out is refused and the fit stays.
            QVERIFY(!timeScale.zoomOut(3, chartWidth, lengthLin, lengthLog).has_value());
            QCOMPARE(timeScale.scale(), scale);
        }
    }

    // Rounding chart width / length to single precision must neither leave
    // more than S + 3 px to scroll nor offer a zoom-out that would only fit again.
    void linearFitNeverOffersZoomOut()
    {
        for (const int headerShift : {0, 200}) {
            for (int chartWidth = 300; chartWidth <= 2000; chartWidth += 37) {
                for (int length = 1; length < chartWidth - 3 - 2 * headerShift; length += 11) {
                    TimeScale timeScale;
                    timeScale.setLinScale(0.5f);
                    const TimeScale::Layout layout =
                        timeScale.relayout(viewport(chartWidth, headerShift, length, 0));
                    const QByteArray where = "width " + QByteArray::number(chartWidth) + ", length " +
                                             QByteArray::number(length) + ", header " +
                                             QByteArray::number(headerShift);
                    QVERIFY2(layout.state == TimeScale::SCALE_CHANGED, where.constData());
                    QVERIFY2(!timeScale.canZoomOut(chartWidth, length, 0), where.constData());
                    QVERIFY2(layout.horizontalMaximum <= headerShift + 3, where.constData());
                    QVERIFY2(layout.horizontalMaximum >= headerShift + 2, where.constData());
                }
            }
        }
    }

    void zoomMovesScaleAndScroll_data()
    {
        QTest::addColumn<bool>("logMode");
        QTest::addColumn<bool>("in");
        QTest::addColumn<int>("scroll");
        QTest::addColumn<float>("scale");
        QTest::addColumn<int>("newScroll");

        QTest::newRow("zooming in at 500 in linear mode scrolls to 600")
            << false << true << 500 << 1.2f << 600;
        QTest::newRow("zooming in logarithmically at 500 scrolls to 550")
            << true << true << 500 << 2.2f << 550;
        QTest::newRow("zooming in truncates the scroll value") << false << true << 7 << 1.2f << 8;
        QTest::newRow("zooming out at 1201 in linear mode scrolls to 1000")
            << false << false << 1201 << 1.0f / 1.2f << 1000;
        // 600 / 1.2f is 499.99997 in single precision, so zooming in and out
        // again may leave the view a pixel further left.
        QTest::newRow("zooming out at 600 lands just below 500")
            << false << false << 600 << 1.0f / 1.2f << 499;
        QTest::newRow("zooming out logarithmically at 1100 scrolls to 1000")
            << true << false << 1100 << 2.0f / 1.1f << 1000;
    }

    void zoomMovesScaleAndScroll()
    {
        QFETCH(bool, logMode);
        QFETCH(bool, in);
        QFETCH(int, scroll);
        QFETCH(float, scale);
        QFETCH(int, newScroll);

        TimeScale timeScale;
        timeScale.setLinearMode(!logMode);
        const float other = logMode ? timeScale.linScale() : timeScale.logScale();
        if (in) {
            QCOMPARE(timeScale.zoomIn(scroll), newScroll);
        } else {
            const std::optional<int> zoomed = timeScale.zoomOut(scroll, 800, 1000000, 1000);
            QVERIFY(zoomed.has_value());
            QCOMPARE(*zoomed, newScroll);
        }
        QCOMPARE(timeScale.scale(), scale);
        QCOMPARE(logMode ? timeScale.linScale() : timeScale.logScale(), other);
    }

    void relayoutSizesAndRanges_data()
    {
        QTest::addColumn<TimeScale::Viewport>("v");
        QTest::addColumn<QList<int>>("canvasAndMaxima"); // canvas width, height, horizontal, vertical maximum

        auto rows = [](int chartHeight, int headerShift, int visibleRows, bool hasRoot) {
            TimeScale::Viewport v = viewport(800, headerShift, 5000, 40);
            v.chartHeight = chartHeight;
            v.visibleRowCount = visibleRows;
            v.hasRoot = hasRoot;
            return v;
        };
        QTest::newRow("ten rows in a 100 px chart scroll by the rest")
            << rows(100, 0, 10, true) << QList<int>{5003, 217, 4203, 117};
        QTest::newRow("the external header widens the content")
            << rows(100, 200, 10, true) << QList<int>{5203, 217, 4403, 117};
        QTest::newRow("rows that fit leave nothing to scroll vertically")
            << rows(400, 0, 2, true) << QList<int>{5003, 73, 4203, 0};
        QTest::newRow("without a root both ranges are empty")
            << rows(100, 0, 10, false) << QList<int>{3, 37, 0, 0};
    }

    void relayoutSizesAndRanges()
    {
        QFETCH(TimeScale::Viewport, v);
        QFETCH(QList<int>, canvasAndMaxima);

        TimeScale timeScale;
        const TimeScale::Layout layout = timeScale.relayout(v);
        QCOMPARE(layout.state, TimeScale::LAYOUT_CHANGED);
        QCOMPARE((QList<int>{layout.canvasWidth, layout.canvasHeight, layout.horizontalMaximum,
                             layout.verticalMaximum}),
                 canvasAndMaxima);
        QCOMPARE(layout.horizontalPageStep, v.chartWidth);
        QCOMPARE(layout.verticalPageStep, v.chartHeight);
        QCOMPARE(timeScale.scale(), 1.0f);
    }

    void switchingModesKeepsBothScales()
    {
        TimeScale timeScale;
        timeScale.setLinScale(3.0f);
        timeScale.setLogScale(5.0f);
        QVERIFY2(!timeScale.setLinearMode(true), "asking for the current mode changes nothing");
        QCOMPARE(timeScale.scale(), 3.0f);
        QVERIFY(timeScale.setLinearMode(false));
        QVERIFY(!timeScale.isLinearMode());
        QCOMPARE(timeScale.scale(), 5.0f);
        QVERIFY(timeScale.setLinearMode(true));
        QCOMPARE(timeScale.scale(), 3.0f);
    }
};

QTEST_APPLESS_MAIN(TestTimeScale)
#include "tst_timescale.moc"
