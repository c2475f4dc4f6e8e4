#include "chart/paintpass.h"

#include "chart/drawop.h"

PaintPass::PaintPass(const ChartRenderer::Frame &frame, ViewRoot &root, NodeViewStates &states,
                     const ChartSettings &settings, ChartStyle &style, const QRect &clip)
    : frame(frame)
    , root(root)
    , states(states)
    , settings(settings)
    , style(style)
    , mapper(*frame.scale, frame.horizontalScroll)
    , internalHeader(!frame.externalHeader)
    , black(Qt::black, 1)
    , syncPen(settings.syncMarkerColor, 1)
    , userPen(settings.userMarkerColor, 1)
    , transmitPen(settings.transmitColor, settings.arrowWidth, settings.transmitStyle)
    , receivePen(settings.receiveColor, settings.arrowWidth, settings.receiveStyle)
    , transmitHeadPen(settings.transmitColor, settings.arrowWidth, Qt::SolidLine)
    , receiveHeadPen(settings.receiveColor, settings.arrowWidth, Qt::SolidLine)
{
    geometry.scale = frame.scale->scale();
    geometry.horizontalScroll = frame.horizontalScroll;
    geometry.verticalScroll = frame.verticalScroll;
    geometry.logMode = frame.scale->logMode();
    geometry.surface = frame.viewport;
    const int surfaceLeft = frame.externalHeader ? -ChartMetrics::headerWidth : 0;
    barLeftLimit = surfaceLeft - 2;
    barRightLimit = surfaceLeft + frame.viewport.width() + 2;
    this->clip = clip.translated(surfaceLeft, 0);
}

bool PaintPass::clampBar(DrawOp &bar) const
{
    bar.p[0] = qMax(bar.p[0], barLeftLimit);
    bar.p[2] = qMin(bar.p[2], barRightLimit);
    return qint64(bar.p[2]) >= qint64(bar.p[0]) - 1;
}
