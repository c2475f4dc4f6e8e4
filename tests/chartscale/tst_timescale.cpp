#include "chart/timescale.h"

#include <QtTest>

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
    TimeScale::Viewport v;
    v.chartWidth = chartWidth;
    v.chartHeight = chartHeight;
    v.headerShift = headerShift;
    v.lengthLin = lengthLin;
    v.lengthLog = lengthLog;
    v.visibleRowCount = visibleRows;
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

        const TraceEvent logEvent = makeEvent(5000, 900, 3.5f, 1.25f);
        QTest::newRow("a linear event ends one pixel before the next begins")
            << at(1) << makeEvent(100, 50) << 0 << 0 << 100 << 149;
        QTest::newRow("a node shift moves the event right")
            << at(1) << makeEvent(100, 50) << 30 << 0 << 130 << 179;
        QTest::newRow("left of the viewport both ends truncate toward zero")
            << at(0.5f) << makeEvent(101, 10) << 0 << 60 << -9 << -5;
        QTest::newRow("a microsecond at 1.2 px covers a single pixel")
            << at(1.2f) << makeEvent(1000, 1) << 0 << 0 << 1200 << 1200;
        QTest::newRow("offsets beyond 2^24 us round to single precision, a zero length a pixel left")
            << at(1) << makeEvent(16777217u, 0) << 0 << 0 << 16777216 << 16777215;
        QTest::newRow("a zero-length event between pixels, scrolled, ends a pixel left of its start")
            << at(0.5f) << makeEvent(601, 0) << 0 << 100 << 200 << 199;
        QTest::newRow("a negative shift while a node is dragged counts as negative")
            << at(1) << makeEvent(10, 5) << -30 << 0 << -20 << -16;
        QTest::newRow("the largest offset with a shift does not wrap")
            << at(0.001f) << makeEvent(4294967295u, 0) << 1000000 << 0 << 4295967 << 4295966;
        QTest::newRow("a zero-length event inside the first pixel ends where it starts")
            << at(0.5f) << makeEvent(1, 0) << 0 << 0 << 0 << 0;
        QTest::newRow("a logarithmic event spans its logarithmic duration")
            << at(2, true) << logEvent << 0 << 0 << 7 << 8;
        QTest::newRow("logarithmic mode applies the scroll value but ignores the node shift")
            << at(2, true) << logEvent << 500 << 5 << 2 << 3;
        // ln(0) is taken as 0, so the logarithmic bar is as empty as the linear one.
        QTest::newRow("a logarithmic event without duration ends a pixel left of its start")
            << at(2, true) << makeEvent(0, 0, 2.25f, 0) << 0 << 0 << 4 << 3;
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
        QTest::addColumn<QList<int>>("xScrollHeaderShift");
        QTest::addColumn<float>("time");

        QTest::newRow("the scroll value adds to x") << at(1) << QList<int>{150, 50, 0, 0} << 200.f;
        QTest::newRow("the external header takes its width off x")
            << at(1) << QList<int>{350, 50, 200, 0} << 200.f;
        QTest::newRow("a larger scale gives less time per pixel")
            << at(2) << QList<int>{101, 0, 0, 0} << 50.5f;
        QTest::newRow("left of the node's first event the time is negative")
            << at(1) << QList<int>{10, 0, 0, 30} << -20.f;
        QTest::newRow("logarithmic units under the mouse") << at(2, true) << QList<int>{9, 1, 0, 0} << 5.f;
    }

    void timeUnderTheMouse()
    {
        QFETCH(TimeScale, timeScale);
        QFETCH(QList<int>, xScrollHeaderShift);
        QFETCH(float, time);

        const QList<int> &a = xScrollHeaderShift;
        QCOMPARE(timeScale.timeAt(a[0], a[1], a[2], a[3]), time);
    }

    void contentWidthAndZoomOut_data()
    {
        QTest::addColumn<TimeScale>("timeScale");
        QTest::addColumn<TimeScale::Viewport>("v");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("zoomOut");

        QTest::newRow("the length plus a 3 px margin") << at(1) << viewport(800, 0, 1000, 40) << 1003 << true;
        QTest::newRow("content exactly as wide as the chart offers no zoom-out")
            << at(1) << viewport(800, 0, 800, 40) << 803 << false;
        QTest::newRow("half a pixel wider offers zoom-out, as real numbers; the width is truncated")
            << at(0.5f) << viewport(800, 0, 1601, 40) << 803 << true;
        QTest::newRow("logarithmic mode measures the logarithmic length")
            << at(2, true) << viewport(800, 0, 1000000, 300) << 603 << false;
        QTest::newRow("wide logarithmic content behind the external header offers zoom-out")
            << at(2, true) << viewport(800, 200, 10, 401) << 1005 << true;
        QTest::newRow("an empty chart is header and margin")
            << at(1) << viewport(800, 200, 0, 0) << 203 << false;
        QTest::newRow("a scale zoomed in without end saturates")
            << at(1e30f) << viewport(800, 0, 1000, 40) << std::numeric_limits<int>::max() << true;
    }

    void contentWidthAndZoomOut()
    {
        QFETCH(TimeScale, timeScale);
        QFETCH(TimeScale::Viewport, v);
        QFETCH(int, width);
        QFETCH(bool, zoomOut);

        QCOMPARE(timeScale.contentWidth(v.lengthLin, v.lengthLog, v.headerShift), width);
        QCOMPARE(timeScale.canZoomOut(v.chartWidth, v.lengthLin, v.lengthLog), zoomOut);
    }

    void fittingToTheWindow_data()
    {
        QTest::addColumn<bool>("logMode");
        QTest::addColumn<TimeScale::Viewport>("v");
        QTest::addColumn<TimeScale::ChartState>("state");
        QTest::addColumn<float>("scale");

        const auto fitted = TimeScale::SCALE_CHANGED;
        const auto kept = TimeScale::LAYOUT_CHANGED;
        QTest::newRow("linear fitting fills the chart width, ignoring the external header")
            << false << viewport(800, 200, 300, 30) << fitted << 800.0f / 300.0f;
        QTest::newRow("a linear fit whose quotient rounds up")
            << false << viewport(374, 0, 298, 10) << fitted << 374.0f / 298.0f;
        QTest::newRow("content one pixel inside the margin is fitted")
            << false << viewport(800, 0, 793, 30) << fitted << 800.0f / 793.0f;
        QTest::newRow("content reaching the margin keeps the scale")
            << false << viewport(800, 0, 794, 30) << kept << 1.0f;
        QTest::newRow("a linear length of 0 keeps the scale")
            << false << viewport(800, 0, 0, 30) << kept << 1.0f;
        QTest::newRow("narrow logarithmic content fills the width less margin, whatever the linear length")
            << true << viewport(800, 0, 0, 30) << fitted << 797.0f / 30.0f;
        QTest::newRow("logarithmic fitting leaves the external header out")
            << true << viewport(800, 200, 500, 30) << fitted << 597.0f / 30.0f;
        QTest::newRow("a logarithmic length of 0 keeps the scale")
            << true << viewport(800, 0, 500, 0) << kept << 2.0f;
        QTest::newRow("wide logarithmic content keeps the scale")
            << true << viewport(800, 0, 500, 400) << kept << 2.0f;
    }

    void fittingToTheWindow()
    {
        QFETCH(bool, logMode);
        QFETCH(TimeScale::Viewport, v);
        QFETCH(TimeScale::ChartState, state);
        QFETCH(float, scale);

        TimeScale timeScale;
        timeScale.setLinearMode(!logMode);
        const TimeScale::Layout layout = timeScale.relayout(v);
        QCOMPARE(layout.state, state);
        QCOMPARE(timeScale.scale(), scale);
        QCOMPARE(layout.canvasWidth, timeScale.contentWidth(v.lengthLin, v.lengthLog, v.headerShift));
        // The other mode's scale is left alone.
        QCOMPARE(logMode ? timeScale.linScale() : timeScale.logScale(), logMode ? 1.0f : 2.0f);
        if (state == TimeScale::SCALE_CHANGED) {
            if (logMode)
                QCOMPARE(layout.horizontalMaximum, 0);
            else
                QVERIFY2(layout.horizontalMaximum <= v.headerShift + 3,
                         qPrintable(QString::number(layout.horizontalMaximum)));
            // Everything is shown, so zooming out is refused and the fit stays.
            QVERIFY(!timeScale.zoomOut(3, v.chartWidth, v.lengthLin, v.lengthLog).has_value());
            QCOMPARE(timeScale.scale(), scale);
        }
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
        // 600 / 1.2f is 499.99997 in single precision: in and out again may leave the view a pixel left.
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
        // Switching modes keeps both scales, so switching back returns to this zoom.
        QVERIFY2(!timeScale.setLinearMode(!logMode), "asking for the current mode changes nothing");
        QVERIFY(timeScale.setLinearMode(logMode) && timeScale.setLinearMode(!logMode));
        QCOMPARE(timeScale.scale(), scale);
    }

    void relayoutSizesAndRanges_data()
    {
        QTest::addColumn<TimeScale::Viewport>("v");
        QTest::addColumn<QList<int>>("canvasAndMaxima"); // canvas width, height, horizontal, vertical maximum

        TimeScale::Viewport rootless = viewport(800, 0, 5000, 40, 100, 10);
        rootless.hasRoot = false;
        QTest::newRow("ten rows in a 100 px chart scroll by the rest")
            << viewport(800, 0, 5000, 40, 100, 10) << QList<int>{5003, 217, 4203, 117};
        QTest::newRow("rows that fit leave nothing to scroll vertically")
            << viewport(800, 0, 5000, 40, 400, 2) << QList<int>{5003, 73, 4203, 0};
        QTest::newRow("without a root both ranges are empty") << rootless << QList<int>{3, 37, 0, 0};
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
};

QTEST_APPLESS_MAIN(TestTimeScale)
#include "tst_timescale.moc"
