#include "chart/timescale.h"

#include <QtTest>

#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(TimeScale::ChartState)

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

TimeScale scaleOf(bool logMode, float scale)
{
    TimeScale timeScale;
    timeScale.setLinearMode(!logMode);
    if (logMode)
        timeScale.setLogScale(scale);
    else
        timeScale.setLinScale(scale);
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
        QTest::addColumn<bool>("logMode");
        QTest::addColumn<float>("scale");
        QTest::addColumn<quint32>("offset");
        QTest::addColumn<quint32>("duration");
        QTest::addColumn<float>("logPosition");
        QTest::addColumn<float>("logDuration");
        QTest::addColumn<int>("shift");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");

        QTest::newRow("a linear event ends one pixel before the next begins")
            << false << 1.0f << 100u << 50u << 0.f << 0.f << 0 << 0 << 100 << 149;
        QTest::newRow("a node shift moves the event right")
            << false << 1.0f << 100u << 50u << 0.f << 0.f << 30 << 0 << 130 << 179;
        QTest::newRow("the scroll value moves it left, past the viewport's edge")
            << false << 1.0f << 100u << 50u << 0.f << 0.f << 0 << 120 << -20 << 29;
        QTest::newRow("left of the viewport both ends truncate toward zero")
            << false << 0.5f << 101u << 10u << 0.f << 0.f << 0 << 60 << -9 << -5;
        QTest::newRow("a microsecond at 1.2 px covers a single pixel")
            << false << 1.2f << 1000u << 1u << 0.f << 0.f << 0 << 0 << 1200 << 1200;
        QTest::newRow("offsets beyond 2^24 us round to single precision")
            << false << 1.0f << 16777217u << 0u << 0.f << 0.f << 0 << 0 << 16777216 << 16777215;
        QTest::newRow("a negative shift while a node is dragged counts as negative")
            << false << 1.0f << 10u << 5u << 0.f << 0.f << -30 << 0 << -20 << -16;
        QTest::newRow("the largest offset with a shift does not wrap")
            << false << 0.001f << 4294967295u << 0u << 0.f << 0.f << 1000000 << 0 << 4295967 << 4295966;
        QTest::newRow("a zero-length event inside the first pixel ends where it starts")
            << false << 0.5f << 1u << 0u << 0.f << 0.f << 0 << 0 << 0 << 0;
        QTest::newRow("a logarithmic event spans its logarithmic duration")
            << true << 2.0f << 5000u << 900u << 3.5f << 1.25f << 0 << 0 << 7 << 8;
        QTest::newRow("logarithmic mode ignores the node shift")
            << true << 2.0f << 5000u << 900u << 3.5f << 1.25f << 500 << 0 << 7 << 8;
        QTest::newRow("logarithmic mode applies the scroll value")
            << true << 2.0f << 5000u << 900u << 3.5f << 1.25f << 0 << 5 << 2 << 3;
        QTest::newRow("a zoomed logarithmic axis scales positions")
            << true << 10.0f << 5000u << 900u << 3.5f << 1.25f << 0 << 0 << 35 << 46;
    }

    void eventSpansItsPixels()
    {
        QFETCH(bool, logMode);
        QFETCH(float, scale);
        QFETCH(quint32, offset);
        QFETCH(quint32, duration);
        QFETCH(float, logPosition);
        QFETCH(float, logDuration);
        QFETCH(int, shift);
        QFETCH(int, h);
        QFETCH(int, left);
        QFETCH(int, right);

        const TimeScale timeScale = scaleOf(logMode, scale);
        const TraceEvent e = makeEvent(offset, duration, logPosition, logDuration);
        QCOMPARE(timeScale.leftX(e, shift, h), left);
        QCOMPARE(timeScale.rightX(e, shift, h), right);
    }

    void zeroDurationBarHasNoWidth_data()
    {
        QTest::addColumn<bool>("logMode");
        QTest::addColumn<float>("scale");
        QTest::addColumn<quint32>("offset");
        QTest::addColumn<float>("logPosition");
        QTest::addColumn<int>("h");

        QTest::newRow("linear on a whole pixel") << false << 1.0f << 300u << 0.f << 0;
        QTest::newRow("linear between pixels, scrolled") << false << 0.5f << 601u << 0.f << 100;
        QTest::newRow("linear left of the viewport") << false << 1.0f << 10u << 0.f << 100;
        QTest::newRow("zoomed in linear") << false << 1.2f * 1.2f << 12345u << 0.f << 777;
        QTest::newRow("logarithmic between pixels") << true << 2.0f << 0u << 2.25f << 0;
        QTest::newRow("logarithmic left of the viewport") << true << 2.0f << 0u << 1.0f << 10;
    }

    // ln(0) is taken as 0, so the logarithmic bar is as empty as the linear one.
    void zeroDurationBarHasNoWidth()
    {
        QFETCH(bool, logMode);
        QFETCH(float, scale);
        QFETCH(quint32, offset);
        QFETCH(float, logPosition);
        QFETCH(int, h);

        const TimeScale timeScale = scaleOf(logMode, scale);
        const TraceEvent e = makeEvent(offset, 0, logPosition, 0);
        QCOMPARE(timeScale.rightX(e, 0, h), timeScale.leftX(e, 0, h) - 1);
    }

    void timeUnderTheMouse_data()
    {
        QTest::addColumn<bool>("logMode");
        QTest::addColumn<float>("scale");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("headerShift");
        QTest::addColumn<int>("shift");
        QTest::addColumn<float>("time");

        QTest::newRow("the scroll value adds to x") << false << 1.0f << 150 << 50 << 0 << 0 << 200.f;
        QTest::newRow("the external header takes its width off x")
            << false << 1.0f << 350 << 50 << 200 << 0 << 200.f;
        QTest::newRow("a larger scale gives less time per pixel")
            << false << 2.0f << 101 << 0 << 0 << 0 << 50.5f;
        QTest::newRow("the node shift is taken off") << false << 1.0f << 100 << 0 << 0 << 30 << 70.f;
        QTest::newRow("left of the node's first event the time is negative")
            << false << 1.0f << 10 << 0 << 0 << 30 << -20.f;
        QTest::newRow("logarithmic units under the mouse") << true << 2.0f << 9 << 1 << 0 << 0 << 5.f;
        QTest::newRow("over the external header itself the time is negative")
            << false << 1.0f << 100 << 0 << 200 << 0 << -100.f;
    }

    void timeUnderTheMouse()
    {
        QFETCH(bool, logMode);
        QFETCH(float, scale);
        QFETCH(int, x);
        QFETCH(int, h);
        QFETCH(int, headerShift);
        QFETCH(int, shift);
        QFETCH(float, time);

        QCOMPARE(scaleOf(logMode, scale).timeAt(x, h, headerShift, shift), time);
    }

    void contentWidth_data()
    {
        QTest::addColumn<bool>("logMode");
        QTest::addColumn<float>("scale");
        QTest::addColumn<int>("lengthLin");
        QTest::addColumn<int>("lengthLog");
        QTest::addColumn<int>("headerShift");
        QTest::addColumn<int>("width");

        QTest::newRow("the length plus a 3 px margin") << false << 1.0f << 1000 << 40 << 0 << 1003;
        QTest::newRow("the external header adds its 200 px") << false << 1.0f << 1000 << 40 << 200 << 1203;
        QTest::newRow("a fractional width is truncated") << false << 0.25f << 1001 << 40 << 0 << 253;
        QTest::newRow("logarithmic mode measures the logarithmic length")
            << true << 2.0f << 1000000 << 40 << 0 << 83;
        QTest::newRow("logarithmic mode with the external header")
            << true << 2.0f << 1000000 << 40 << 200 << 283;
        QTest::newRow("an empty chart is header and margin") << false << 1.0f << 0 << 0 << 200 << 203;
        QTest::newRow("a scale zoomed in without end saturates")
            << false << 1e30f << 1000 << 40 << 0 << std::numeric_limits<int>::max();
    }

    void contentWidth()
    {
        QFETCH(bool, logMode);
        QFETCH(float, scale);
        QFETCH(int, lengthLin);
        QFETCH(int, lengthLog);
        QFETCH(int, headerShift);
        QFETCH(int, width);

        QCOMPARE(scaleOf(logMode, scale).contentWidth(lengthLin, lengthLog, headerShift), width);
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
        QTest::newRow("content one pixel inside the margin is fitted")
            << false << 800 << 0 << 793 << 30 << fitted << 800.0f / 793.0f;
        QTest::newRow("content reaching the margin keeps the scale")
            << false << 800 << 0 << 794 << 30 << kept << 1.0f;
        QTest::newRow("wide linear content keeps the scale")
            << false << 800 << 0 << 5000 << 30 << kept << 1.0f;
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
        }
    }

    // Rounding chart width / length to single precision must neither leave
    // more than S + 3 px to scroll nor offer a zoom-out that would only fit again.
    void linearFitNeverOffersZoomOut_data()
    {
        QTest::addColumn<int>("headerShift");
        QTest::newRow("without the external header") << 0;
        QTest::newRow("with the external header") << 200;
    }

    void linearFitNeverOffersZoomOut()
    {
        QFETCH(int, headerShift);

        for (int chartWidth = 300; chartWidth <= 2000; chartWidth += 37) {
            for (int length = 1; length < chartWidth - 3 - 2 * headerShift; length += 11) {
                TimeScale timeScale;
                timeScale.setLinScale(0.5f);
                const TimeScale::Layout layout =
                    timeScale.relayout(viewport(chartWidth, headerShift, length, 0));
                const QByteArray where =
                    "width " + QByteArray::number(chartWidth) + ", length " + QByteArray::number(length);
                QVERIFY2(layout.state == TimeScale::SCALE_CHANGED, where.constData());
                QVERIFY2(!timeScale.canZoomOut(chartWidth, length, 0), where.constData());
                QVERIFY2(layout.horizontalMaximum <= headerShift + 3, where.constData());
                QVERIFY2(layout.horizontalMaximum >= headerShift + 2, where.constData());
            }
        }
    }

    void canZoomOut_data()
    {
        QTest::addColumn<bool>("logMode");
        QTest::addColumn<float>("scale");
        QTest::addColumn<int>("chartWidth");
        QTest::addColumn<int>("lengthLin");
        QTest::addColumn<int>("lengthLog");
        QTest::addColumn<bool>("allowed");

        QTest::newRow("content wider than the chart") << false << 1.0f << 800 << 801 << 40 << true;
        QTest::newRow("content exactly as wide as the chart") << false << 1.0f << 800 << 800 << 40 << false;
        QTest::newRow("half a pixel wider counts, as real numbers")
            << false << 0.5f << 800 << 1601 << 40 << true;
        QTest::newRow("logarithmic content narrower than the chart")
            << true << 2.0f << 800 << 1000000 << 300 << false;
        QTest::newRow("logarithmic content wider than the chart") << true << 2.0f << 800 << 10 << 401 << true;
        QTest::newRow("an empty chart") << false << 1.0f << 800 << 0 << 0 << false;
    }

    void canZoomOut()
    {
        QFETCH(bool, logMode);
        QFETCH(float, scale);
        QFETCH(int, chartWidth);
        QFETCH(int, lengthLin);
        QFETCH(int, lengthLog);
        QFETCH(bool, allowed);

        QCOMPARE(scaleOf(logMode, scale).canZoomOut(chartWidth, lengthLin, lengthLog), allowed);
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
        QTest::newRow("zooming in at the start stays there") << false << true << 0 << 1.2f << 0;
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
        const float before = logMode ? timeScale.linScale() : timeScale.logScale();
        if (in) {
            QCOMPARE(timeScale.zoomIn(scroll), newScroll);
        } else {
            const std::optional<int> zoomed = timeScale.zoomOut(scroll, 800, 1000000, 1000);
            QVERIFY(zoomed.has_value());
            QCOMPARE(*zoomed, newScroll);
        }
        QCOMPARE(timeScale.scale(), scale);
        QCOMPARE(logMode ? timeScale.linScale() : timeScale.logScale(), before);
    }

    void zoomOutIsRefusedWhenEverythingIsShown_data()
    {
        QTest::addColumn<bool>("logMode");
        QTest::addColumn<int>("chartWidth");
        QTest::addColumn<int>("lengthLin");
        QTest::addColumn<int>("lengthLog");

        QTest::newRow("linear mode right after fitting") << false << 800 << 300 << 10;
        QTest::newRow("linear mode right after fitting a width whose quotient rounds up")
            << false << 374 << 298 << 10;
        QTest::newRow("logarithmic mode right after fitting, narrower than the chart")
            << true << 800 << 300 << 30;
    }

    void zoomOutIsRefusedWhenEverythingIsShown()
    {
        QFETCH(bool, logMode);
        QFETCH(int, chartWidth);
        QFETCH(int, lengthLin);
        QFETCH(int, lengthLog);

        TimeScale timeScale;
        timeScale.setLinearMode(!logMode);
        QCOMPARE(timeScale.relayout(viewport(chartWidth, 0, lengthLin, lengthLog)).state,
                 TimeScale::SCALE_CHANGED);
        const float fitted = timeScale.scale();
        QVERIFY(!timeScale.zoomOut(3, chartWidth, lengthLin, lengthLog).has_value());
        QCOMPARE(timeScale.scale(), fitted);
    }

    void relayoutSizesAndRanges_data()
    {
        QTest::addColumn<int>("chartWidth");
        QTest::addColumn<int>("chartHeight");
        QTest::addColumn<int>("headerShift");
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("hasRoot");
        QTest::addColumn<int>("canvasWidth");
        QTest::addColumn<int>("canvasHeight");
        QTest::addColumn<int>("horizontalMaximum");
        QTest::addColumn<int>("verticalMaximum");

        QTest::newRow("ten rows in a 100 px chart scroll by the rest")
            << 800 << 100 << 0 << 10 << true << 5003 << 217 << 4203 << 117;
        QTest::newRow("the external header widens the content")
            << 800 << 100 << 200 << 10 << true << 5203 << 217 << 4403 << 117;
        QTest::newRow("rows that fit leave nothing to scroll vertically")
            << 800 << 400 << 0 << 2 << true << 5003 << 73 << 4203 << 0;
        QTest::newRow("without a root both ranges are empty")
            << 800 << 100 << 0 << 10 << false << 3 << 37 << 0 << 0;
    }

    void relayoutSizesAndRanges()
    {
        QFETCH(int, chartWidth);
        QFETCH(int, chartHeight);
        QFETCH(int, headerShift);
        QFETCH(int, rows);
        QFETCH(bool, hasRoot);
        QFETCH(int, canvasWidth);
        QFETCH(int, canvasHeight);
        QFETCH(int, horizontalMaximum);
        QFETCH(int, verticalMaximum);

        TimeScale::Viewport v = viewport(chartWidth, headerShift, 5000, 40);
        v.chartHeight = chartHeight;
        v.visibleRowCount = rows;
        v.hasRoot = hasRoot;
        TimeScale timeScale;
        const TimeScale::Layout layout = timeScale.relayout(v);
        QCOMPARE(layout.state, TimeScale::LAYOUT_CHANGED);
        QCOMPARE(layout.canvasWidth, canvasWidth);
        QCOMPARE(layout.canvasHeight, canvasHeight);
        QCOMPARE(layout.horizontalPageStep, chartWidth);
        QCOMPARE(layout.verticalPageStep, chartHeight);
        QCOMPARE(layout.horizontalMaximum, horizontalMaximum);
        QCOMPARE(layout.verticalMaximum, verticalMaximum);
        QCOMPARE(timeScale.scale(), 1.0f);
    }

    void switchingModesKeepsBothScales_data()
    {
        QTest::addColumn<bool>("linear");
        QTest::addColumn<bool>("switched");
        QTest::addColumn<float>("scale");

        QTest::newRow("asking for the current linear mode changes nothing") << true << false << 3.0f;
        QTest::newRow("switching to logarithmic takes up its former zoom") << false << true << 5.0f;
    }

    void switchingModesKeepsBothScales()
    {
        QFETCH(bool, linear);
        QFETCH(bool, switched);
        QFETCH(float, scale);

        TimeScale timeScale;
        timeScale.setLinScale(3.0f);
        timeScale.setLogScale(5.0f);
        QCOMPARE(timeScale.setLinearMode(linear), switched);
        QCOMPARE(timeScale.isLinearMode(), linear);
        QCOMPARE(timeScale.scale(), scale);
        QVERIFY(timeScale.setLinearMode(!linear));
        QCOMPARE(timeScale.scale(), linear ? 5.0f : 3.0f);
    }
};

QTEST_APPLESS_MAIN(TestTimeScale)
#include "tst_timescale.moc"
