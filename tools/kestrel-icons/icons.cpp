#include "icons.h"

#include "shapes.h"

#include <QtMath>

#include <algorithm>

using namespace Palette;

namespace {

// ---- Interface, 16 px -------------------------------------------------------------------

void close16(const IconPainter &ip)
{
    Shapes::closeBadge(ip, QRect(1, 1, 14, 14));
}

void event16(const IconPainter &ip)
{
    // One event on a time line.
    ip.hline(0, 15, 7, Slate);
    QPainterPath diamond;
    diamond.moveTo(7.5, 2.5);
    diamond.lineTo(12.5, 7.5);
    diamond.lineTo(7.5, 12.5);
    diamond.lineTo(2.5, 7.5);
    diamond.closeSubpath();
    ip.shape(diamond, Blue);
}

void hub16(const IconPainter &ip)
{
    Shapes::hubPipe(ip, QRect(0, 4, 16, 8));
}

void hubs16(const IconPainter &ip)
{
    Shapes::hubPipe(ip, QRect(3, 1, 13, 7));
    Shapes::hubPipe(ip, QRect(0, 8, 13, 7));
}

void node16(const IconPainter &ip)
{
    Shapes::nodeChip(ip, QRect(2, 2, 11, 11));
}

void nodeArea16(const IconPainter &ip)
{
    Shapes::folder(ip, QRect(0, 1, 15, 13), false);
    Shapes::nodeChip(ip, QRect(9, 9, 5, 5));
}

void nodeView16(const IconPainter &ip)
{
    const QRect content = Shapes::viewWindow(ip, QRect(0, 1, 16, 14));
    Shapes::nodeChip(ip, QRect(content.left() + 4, content.top() + 2, 5, 5));
}

void settings16(const IconPainter &ip)
{
    Shapes::gear(ip, QPointF(8, 8), 7.5);
}

void task16(const IconPainter &ip)
{
    Shapes::taskBar(ip, QRect(0, 4, 16, 8));
}

void tasks16(const IconPainter &ip)
{
    Shapes::taskBar(ip, QRect(4, 1, 12, 6));
    Shapes::taskBar(ip, QRect(0, 9, 12, 6));
}

void tracer16(const IconPainter &ip)
{
    // A recorded trace on a scope screen.
    ip.box(QRect(0, 2, 16, 12), Ink, 1.5);
    ip.polyline(QPolygonF{{1, 10.5},
                          {4.5, 10.5},
                          {4.5, 5.5},
                          {8.5, 5.5},
                          {8.5, 10.5},
                          {10.5, 10.5},
                          {10.5, 5.5},
                          {12.5, 5.5},
                          {12.5, 10.5},
                          {15, 10.5}},
                GreenLight);
}

void view16(const IconPainter &ip)
{
    Shapes::chartBars(ip, Shapes::viewWindow(ip, QRect(0, 1, 16, 14)));
}

void views16(const IconPainter &ip)
{
    Shapes::viewWindow(ip, QRect(4, 0, 12, 10));
    Shapes::chartBars(ip, Shapes::viewWindow(ip, QRect(0, 5, 12, 11)));
}

void syncMarker(const IconPainter &ip)
{
    // A pin on the time line; column 8 is the marker line the chart draws below it.
    QPainterPath pin;
    pin.moveTo(3.5, 1.5);
    pin.lineTo(13.5, 1.5);
    pin.lineTo(8.5, 8.5);
    pin.closeSubpath();
    ip.shape(pin, Magenta);
    ip.vline(8, 9, 15);
}

// ---- Interface, 24 px -------------------------------------------------------------------

void folder24(const IconPainter &ip)
{
    Shapes::folder(ip, QRect(1, 3, 22, 18), true);
}

void items24(const IconPainter &ip)
{
    // The item tree: a project with a node and a task below it.
    ip.vline(7, 9, 20, Slate);
    ip.hline(9, 12, 11, Slate);
    ip.hline(9, 12, 19, Slate);
    ip.box(QRect(4, 1, 8, 8), Amber);
    ip.box(QRect(13, 8, 8, 8), Blue);
    ip.box(QRect(13, 16, 8, 8), Green);
}

void manual24(const IconPainter &ip)
{
    // A bound book with its pages showing at the bottom and a question mark on the cover.
    ip.box(QRect(4, 16, 17, 7), Paper, 1);
    ip.box(QRect(3, 1, 18, 18), Blue, 2);
    ip.vline(6, 3, 16, BlueLight);
    QPainterPath hook;
    hook.arcMoveTo(QRectF(10, 4, 6, 6), 180);
    hook.arcTo(QRectF(10, 4, 6, 6), 180, -240);
    hook.lineTo(13, 12);
    ip.painter().setPen(QPen(Paper, ip.stroke(), Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    ip.painter().setBrush(Qt::NoBrush);
    ip.painter().drawPath(hook);
    ip.fillRect(QRect(12, 14, 2, 2), Paper);
}

void nodeAreaClose24(const IconPainter &ip)
{
    Shapes::folder(ip, QRect(0, 2, 22, 18), false);
    Shapes::closeBadge(ip, QRect(12, 12, 12, 12));
}

void nodeAreaRecent24(const IconPainter &ip)
{
    Shapes::folder(ip, QRect(0, 2, 22, 18), false);
    Shapes::recentBadge(ip, QRect(12, 12, 12, 12));
}

void nodeClose24(const IconPainter &ip)
{
    Shapes::nodeChip(ip, QRect(3, 3, 16, 16));
    Shapes::closeBadge(ip, QRect(12, 12, 12, 12));
}

void nodeRecent24(const IconPainter &ip)
{
    Shapes::nodeChip(ip, QRect(3, 3, 16, 16));
    Shapes::recentBadge(ip, QRect(12, 12, 12, 12));
}

void nodeView24(const IconPainter &ip)
{
    const QRect content = Shapes::viewWindow(ip, QRect(0, 1, 24, 22));
    Shapes::nodeChip(ip, QRect(content.left() + 6, content.top() + 3, 8, 8));
}

void nodeViewApart24(const IconPainter &ip)
{
    // The node's own window, sent off to the side.
    const QRect content = Shapes::viewWindow(ip, QRect(0, 6, 18, 18));
    Shapes::nodeChip(ip, QRect(content.left() + 3, content.top() + 2, 8, 8));
    ip.arrow(QPointF(14, 10), QPointF(23, 1), Green);
}

void nodesView24(const IconPainter &ip)
{
    Shapes::viewWindow(ip, QRect(0, 1, 24, 22));
    // Two nodes whose facing pins meet like a bus between them.
    Shapes::nodeChip(ip, QRect(3, 10, 8, 8));
    Shapes::nodeChip(ip, QRect(13, 10, 8, 8));
}

void propBrowser24(const IconPainter &ip)
{
    // A two-column property table.
    ip.box(QRect(1, 2, 22, 20), Paper);
    ip.fillRect(QRect(3, 4, 18, 4), Blue);
    ip.fillRect(QRect(3, 8, 6, 12), Mist);
    for (const int y : {11, 15})
        ip.hline(3, 20, y, Mist);
    ip.vline(9, 8, 19, Slate);
}

void settings24(const IconPainter &ip)
{
    Shapes::gear(ip, QPointF(12, 12), 11);
}

void stats24(const IconPainter &ip)
{
    // The share of each task in the node's time.
    const QRectF disc = QRectF(1, 1, 22, 22).adjusted(1, 1, -1, -1);
    const QList<QPair<qreal, QColor>> slices{{160, Blue}, {120, Green}, {80, Amber}};
    qreal start = 90;
    for (const auto &[sweep, colour] : slices) {
        QPainterPath slice;
        slice.moveTo(disc.center());
        slice.arcTo(disc, start, -sweep);
        slice.closeSubpath();
        ip.shape(slice, colour);
        start -= sweep;
    }
}

void synchro24(const IconPainter &ip)
{
    // Two arrows chasing each other round: the charts scroll together.
    const QRectF ring(4, 4, 16, 16);
    for (const qreal start : {160.0, -20.0}) {
        const qreal sweep = -118;
        QPainterPath arc;
        arc.arcMoveTo(ring, start);
        arc.arcTo(ring, start, sweep);
        ip.painter().setPen(QPen(Blue, ip.stroke(), Qt::SolidLine, Qt::FlatCap));
        ip.painter().setBrush(Qt::NoBrush);
        ip.painter().drawPath(arc);
        const qreal end = qDegreesToRadians(start + sweep - 4);
        const QPointF centre = ring.center();
        const qreal r = ring.width() / 2;
        const QPointF along(std::sin(end), std::cos(end));
        const QPointF at = centre + QPointF(std::cos(end), -std::sin(end)) * r;
        ip.arrowHead(at + along * 3.5, along, Blue);
    }
}

void viewClose24(const IconPainter &ip)
{
    Shapes::chartBars(ip, Shapes::viewWindow(ip, QRect(0, 1, 22, 20)));
    Shapes::closeBadge(ip, QRect(12, 12, 12, 12));
}

void viewUnwrap24(const IconPainter &ip)
{
    const QRect content = Shapes::viewWindow(ip, QRect(0, 1, 24, 22));
    const QPointF centre = QRectF(content).center();
    ip.arrow(centre, QPointF(content.left() + 1, content.top() + 1), Green);
    ip.arrow(centre, QPointF(content.right(), content.bottom()), Green);
}

void views24(const IconPainter &ip)
{
    Shapes::viewWindow(ip, QRect(6, 0, 18, 15));
    Shapes::chartBars(ip, Shapes::viewWindow(ip, QRect(0, 7, 18, 16)));
}

void viewsCascaded24(const IconPainter &ip)
{
    Shapes::viewWindow(ip, QRect(0, 0, 16, 13));
    Shapes::viewWindow(ip, QRect(4, 5, 16, 13));
    Shapes::chartBars(ip, Shapes::viewWindow(ip, QRect(8, 10, 16, 13)));
}

void viewsClose24(const IconPainter &ip)
{
    Shapes::viewWindow(ip, QRect(5, 0, 17, 14));
    Shapes::viewWindow(ip, QRect(0, 6, 17, 15));
    Shapes::closeBadge(ip, QRect(12, 12, 12, 12));
}

void viewsTiled24(const IconPainter &ip)
{
    for (const int x : {0, 11})
        for (const int y : {1, 11})
            Shapes::viewWindow(ip, QRect(x, y, 13, 12));
}

void viewsTiledVertically24(const IconPainter &ip)
{
    for (const int y : {1, 11})
        Shapes::viewWindow(ip, QRect(0, y, 24, 12));
}

void zoomIn24(const IconPainter &ip)
{
    Shapes::magnifier(ip, QRect(1, 1, 16, 16));
    ip.hline(5, 12, 8);
    ip.vline(8, 5, 12);
}

void zoomOut24(const IconPainter &ip)
{
    Shapes::magnifier(ip, QRect(1, 1, 16, 16));
    ip.hline(5, 12, 8);
}

void externalHeader(const IconPainter &ip)
{
    // Row labels in a column of their own, left of the chart.
    ip.box(QRect(0, 2, 24, 20), Paper);
    ip.fillRect(QRect(2, 4, 7, 16), Mist);
    ip.vline(8, 4, 19);
    for (const int y : {6, 11, 16})
        ip.hline(3, 6, y, Slate);
    ip.fillRect(QRect(11, 5, 7, 3), Green);
    ip.fillRect(QRect(15, 10, 7, 3), Violet);
    ip.fillRect(QRect(10, 15, 6, 3), Green);
}

void internalHeader(const IconPainter &ip)
{
    // Row labels written inside the rows.
    ip.box(QRect(0, 2, 24, 20), Paper);
    for (const int y : {6, 11, 16})
        ip.hline(3, 7, y, Slate);
    ip.fillRect(QRect(11, 5, 7, 3), Green);
    ip.fillRect(QRect(15, 10, 7, 3), Violet);
    ip.fillRect(QRect(10, 15, 6, 3), Green);
}

void timeAxis(const IconPainter &ip, const QList<int> &ticks)
{
    ip.hline(1, 22, 20);
    for (const int x : ticks)
        ip.vline(x, 17, 19);
}

void modeLin(const IconPainter &ip)
{
    timeAxis(ip, {2, 8, 14, 20});
    ip.line(QPointF(3, 15), QPointF(21, 3), Blue);
}

void modeLog(const IconPainter &ip)
{
    timeAxis(ip, {2, 11, 16, 19});
    QPainterPath curve;
    curve.moveTo(3, 15);
    curve.cubicTo(5, 4, 12, 3, 21, 3);
    ip.painter().setPen(QPen(Blue, ip.stroke(), Qt::SolidLine, Qt::RoundCap));
    ip.painter().setBrush(Qt::NoBrush);
    ip.painter().drawPath(curve);
}

void menuModes(const IconPainter &ip)
{
    // A menu bar with one menu dropped down.
    ip.box(QRect(0, 1, 24, 22), Paper);
    ip.fillRect(QRect(2, 3, 20, 4), Mist);
    ip.fillRect(QRect(4, 4, 4, 2), Ink);
    ip.fillRect(QRect(10, 4, 4, 2), Ink);
    ip.fillRect(QRect(16, 4, 4, 2), Ink);
    ip.box(QRect(8, 7, 13, 13), Paper);
    for (const int y : {10, 13, 16})
        ip.hline(11, 17, y, Slate);
}

// ---- Application, 32 px -----------------------------------------------------------------

void application32(const IconPainter &ip)
{
    // A kestrel's head keeping watch over a trace: the eye is the viewer.
    ip.box(QRect(0, 0, 32, 32), Blue, 5);
    ip.polyline(
        QPolygonF{
            {3, 28}, {7, 28}, {7, 25}, {11, 25}, {11, 28}, {20, 28}, {20, 25}, {24, 25}, {24, 28}, {29, 28}},
        GreenLight);
    QPainterPath head;
    head.moveTo(7.5, 24);
    head.cubicTo(5.5, 15, 8, 5, 16, 5);
    head.cubicTo(20, 5, 22.5, 7, 23.5, 9.5);
    head.lineTo(22.5, 13);
    head.cubicTo(20.5, 16, 21, 20, 22.5, 24);
    head.closeSubpath();
    ip.shape(head, Orange);
    QPainterPath beak;
    beak.moveTo(22, 8.5);
    beak.cubicTo(25.5, 8.5, 28, 11, 27.5, 16);
    beak.cubicTo(26.5, 14, 25, 13.5, 22.5, 13.5);
    beak.closeSubpath();
    ip.shape(beak, Slate);
    // The dark "moustache" under the eye is what makes it a falcon.
    QPainterPath stripe;
    stripe.moveTo(15.5, 12.5);
    stripe.quadTo(18.5, 16, 16.5, 21);
    stripe.quadTo(14, 16.5, 14.5, 12.5);
    stripe.closeSubpath();
    ip.fillShape(stripe, Ink);
    const auto disc = [](const QPointF &centre, qreal radius) {
        QPainterPath path;
        path.addEllipse(centre, radius, radius);
        return path;
    };
    ip.fillShape(disc(QPointF(17.5, 10), 3.5), AmberLight);
    ip.fillShape(disc(QPointF(17.5, 10), 2.5), Ink);
    ip.fillShape(disc(QPointF(18.3, 9.2), 0.9), Paper);
}

// ---- Chart corner marks, 7 px -------------------------------------------------------------

void startCorner(const IconPainter &ip)
{
    // The chart draws it at the top left of a row's item.
    QPainterPath wedge;
    wedge.moveTo(0, 0);
    wedge.lineTo(6, 0);
    wedge.lineTo(0, 6);
    wedge.closeSubpath();
    ip.fillShape(wedge, Ink);
}

void finishCorner(const IconPainter &ip)
{
    // Drawn five pixels up and left of the item's bottom right, so its corner lands on it.
    QPainterPath wedge;
    wedge.moveTo(6, 0);
    wedge.lineTo(6, 6);
    wedge.lineTo(0, 6);
    wedge.closeSubpath();
    ip.fillShape(wedge, Ink);
}

// ---- Services, 16 px ----------------------------------------------------------------------

void playTriangle(const IconPainter &ip, qreal left, const QColor &fill)
{
    QPainterPath triangle;
    triangle.moveTo(left, 2.5);
    triangle.lineTo(left + 9, 8);
    triangle.lineTo(left, 13.5);
    triangle.closeSubpath();
    ip.shape(triangle, fill);
}

void srvStartTask(const IconPainter &ip)
{
    playTriangle(ip, 4.5, Green);
}

void srvSuspendTask(const IconPainter &ip)
{
    ip.box(QRect(3, 2, 4, 12), Amber);
    ip.box(QRect(9, 2, 4, 12), Amber);
}

void srvResumeTask(const IconPainter &ip)
{
    ip.box(QRect(1, 2, 4, 12), Amber);
    playTriangle(ip, 6.5, Green);
}

void srvStopTask(const IconPainter &ip)
{
    ip.box(QRect(2, 2, 12, 12), Red, 1.5);
}

void srvAnyPacket(const IconPainter &ip)
{
    Shapes::packet(ip, QRect(4, 2, 12, 8));
    Shapes::packet(ip, QRect(0, 6, 12, 8));
}

void srvSleepTask(const IconPainter &ip)
{
    QPainterPath moon;
    moon.addEllipse(QRectF(1.5, 1.5, 13, 13));
    QPainterPath shadow;
    shadow.addEllipse(QRectF(6, -2, 12, 12));
    ip.shape(moon.subtracted(shadow), Blue);
}

void srvAwakeTask(const IconPainter &ip)
{
    // A sun: an eight-pointed star behind a disc.
    const QPointF centre(8, 8);
    QPainterPath rays;
    for (int i = 0; i < 16; ++i) {
        const qreal angle = M_PI / 8 * i;
        const qreal r = i % 2 == 0 ? 7.5 : 4.5;
        const QPointF p = centre + QPointF(std::cos(angle), std::sin(angle)) * r;
        if (i == 0)
            rays.moveTo(p);
        else
            rays.lineTo(p);
    }
    rays.closeSubpath();
    ip.shape(rays, Amber);
    ip.ellipse(QRectF(4, 4, 8, 8), AmberLight);
}

void srvSendToHub(const IconPainter &ip)
{
    Shapes::hubPipe(ip, QRect(0, 9, 16, 7));
    ip.arrow(QPointF(8.5, 0), QPointF(8.5, 9), Green);
}

void srvReceiveFromHub(const IconPainter &ip)
{
    Shapes::hubPipe(ip, QRect(0, 9, 16, 7));
    ip.arrow(QPointF(8.5, 9), QPointF(8.5, 0), Blue);
}

void srvReturn(const IconPainter &ip)
{
    ip.polyline(QPolygonF{{12.5, 2}, {12.5, 10.5}, {5, 10.5}}, Blue);
    ip.arrowHead(QPointF(1, 10.5), QPointF(-1, 0), Blue);
}

void srvOther(const IconPainter &ip)
{
    ip.box(QRect(1, 4, 14, 8), Mist, 1.5);
    for (const int x : {4, 7, 10})
        ip.fillRect(QRect(x, 7, 2, 2), Ink);
}

// ---- System events, 16 px ---------------------------------------------------------------

void sysTaskSwitch(const IconPainter &ip)
{
    // The chart's switch connector: from the task that ran down to the one that runs now.
    Shapes::taskBar(ip, QRect(0, 1, 9, 5));
    Shapes::taskBar(ip, QRect(8, 10, 8, 5));
    ip.arrow(QPointF(4.5, 6), QPointF(4.5, 12), Ink);
    ip.hline(4, 7, 12);
}

void serviceCall(const IconPainter &ip, bool kernel, bool completed)
{
    Shapes::serviceBox(ip, QRect(8, 3, 8, 11), kernel);
    if (completed)
        ip.arrow(QPointF(8, 8.5), QPointF(0, 8.5), Green);
    else
        ip.arrow(QPointF(0, 8.5), QPointF(8, 8.5), Blue);
}

void sysServiceRequest(const IconPainter &ip)
{
    serviceCall(ip, false, false);
}

void sysServiceCompleted(const IconPainter &ip)
{
    serviceCall(ip, false, true);
}

void sysKernelServiceRequest(const IconPainter &ip)
{
    serviceCall(ip, true, false);
}

void sysKernelServiceCompleted(const IconPainter &ip)
{
    serviceCall(ip, true, true);
}

enum class PacketWay { Send, Pass, Receive };

void packetEvent(const IconPainter &ip, PacketWay way, bool notify)
{
    switch (way) {
    case PacketWay::Send:
        Shapes::packet(ip, QRect(0, 5, 10, 7));
        ip.arrow(QPointF(10, 8.5), QPointF(16, 8.5), Green);
        break;
    case PacketWay::Pass:
        ip.arrow(QPointF(0, 8.5), QPointF(16, 8.5), Violet);
        Shapes::packet(ip, QRect(3, 5, 9, 7));
        break;
    case PacketWay::Receive:
        ip.arrow(QPointF(0, 8.5), QPointF(6, 8.5), Blue);
        Shapes::packet(ip, QRect(6, 5, 10, 7));
        break;
    }
    if (notify)
        Shapes::notifyMark(ip, QRect(10, 0, 6, 6));
}

void syncSendPacket(const IconPainter &ip)
{
    packetEvent(ip, PacketWay::Send, false);
}

void syncSendPacketNotify(const IconPainter &ip)
{
    packetEvent(ip, PacketWay::Send, true);
}

void syncPassPacket(const IconPainter &ip)
{
    packetEvent(ip, PacketWay::Pass, false);
}

void syncPassPacketNotify(const IconPainter &ip)
{
    packetEvent(ip, PacketWay::Pass, true);
}

void syncReceivePacket(const IconPainter &ip)
{
    packetEvent(ip, PacketWay::Receive, false);
}

void syncReceivePacketNotify(const IconPainter &ip)
{
    packetEvent(ip, PacketWay::Receive, true);
}

void userMarker(const IconPainter &ip)
{
    // The chart draws it one pixel left of the marker line: the pole is column 1.
    Shapes::flag(ip, 1, 0, 15, Orange);
}

void sysIsr(const IconPainter &ip)
{
    QPainterPath bolt;
    bolt.moveTo(10.5, 0.5);
    bolt.lineTo(3.5, 9.5);
    bolt.lineTo(7.5, 9.5);
    bolt.lineTo(5.5, 15.5);
    bolt.lineTo(12.5, 6.5);
    bolt.lineTo(8.5, 6.5);
    bolt.closeSubpath();
    ip.shape(bolt, Amber);
}

// ---- Navigation, 24 px (16 px for the group) ----------------------------------------------

void navigate16(const IconPainter &ip)
{
    // Along the time line both ways.
    ip.hline(0, 15, 12, Slate);
    for (const int x : {2, 8, 13})
        ip.vline(x, 10, 11, Slate);
    ip.arrow(QPointF(8, 5.5), QPointF(0, 5.5), Blue);
    ip.arrow(QPointF(8, 5.5), QPointF(16, 5.5), Blue);
}

void fitTime(const IconPainter &ip)
{
    // The whole time line between two stops.
    timeAxis(ip, {2, 8, 14, 20});
    ip.vline(0, 2, 14);
    ip.vline(22, 2, 14);
    ip.arrow(QPointF(12, 8.5), QPointF(3, 8.5), Blue);
    ip.arrow(QPointF(12, 8.5), QPointF(21, 8.5), Blue);
}

void zoomSelection(const IconPainter &ip)
{
    // A selected stretch under the lens.
    Shapes::magnifier(ip, QRect(1, 1, 16, 16));
    ip.fillRect(QRect(6, 6, 6, 6), Green);
    ip.vline(4, 5, 12);
    ip.vline(12, 5, 12);
}

void historyStep(const IconPainter &ip, bool back)
{
    // A turn back to a view left before, or on to one left after.
    const QRectF ring(3, 3, 18, 18);
    const qreal start = back ? 30 : 150;
    const qreal sweep = back ? 210 : -210;
    QPainterPath arc;
    arc.arcMoveTo(ring, start);
    arc.arcTo(ring, start, sweep);
    ip.painter().setPen(QPen(Blue, ip.stroke(), Qt::SolidLine, Qt::FlatCap));
    ip.painter().setBrush(Qt::NoBrush);
    ip.painter().drawPath(arc);
    const qreal end = qDegreesToRadians(start + sweep);
    const QPointF at = ring.center() + QPointF(std::cos(end), -std::sin(end)) * (ring.width() / 2);
    // Along the ring in the direction it is drawn.
    const QPointF along =
        back ? QPointF(-std::sin(end), -std::cos(end)) : QPointF(std::sin(end), std::cos(end));
    ip.arrowHead(at + along * 3.5, along, Blue);
    ip.vline(11, 7, 12, Slate);
    ip.hline(11, back ? 14 : 15, 12, Slate);
}

void historyBack(const IconPainter &ip)
{
    historyStep(ip, true);
}

void historyForward(const IconPainter &ip)
{
    historyStep(ip, false);
}

void measuringCursor(const IconPainter &ip, bool first)
{
    // The pair of measuring lines over the time line; the set one carries the pin.
    timeAxis(ip, {});
    const int own = first ? 6 : 16;
    const int other = first ? 16 : 6;
    ip.vline(other, 6, 19, Slate);
    QPainterPath pin;
    pin.moveTo(own - 4.0, 1);
    pin.lineTo(own + 6.0, 1);
    pin.lineTo(own + 6.0, 5);
    pin.lineTo(own + 1.0, 8);
    pin.lineTo(own - 4.0, 5);
    pin.closeSubpath();
    ip.shape(pin, first ? Blue : Green);
    ip.vline(own, 8, 19);
}

void cursorA(const IconPainter &ip)
{
    measuringCursor(ip, true);
}

void cursorB(const IconPainter &ip)
{
    measuringCursor(ip, false);
}

void bookmarkRibbon(const IconPainter &ip, const QRect &cells)
{
    const qreal half = ip.stroke() / 2.0;
    const qreal left = cells.left() + half;
    const qreal right = cells.right() + 1 - half;
    const qreal bottom = cells.bottom() + 1 - half;
    QPainterPath ribbon;
    ribbon.moveTo(left, cells.top() + half);
    ribbon.lineTo(right, cells.top() + half);
    ribbon.lineTo(right, bottom);
    ribbon.lineTo((left + right) / 2, bottom - cells.width() / 2.5);
    ribbon.lineTo(left, bottom);
    ribbon.closeSubpath();
    ip.shape(ribbon, Orange);
}

void bookmarkAdd(const IconPainter &ip)
{
    bookmarkRibbon(ip, QRect(3, 1, 12, 20));
    ip.ellipse(QRectF(12, 12, 12, 12), Green);
    ip.hline(15, 20, 17, Paper);
    ip.vline(17, 15, 20, Paper);
}

void bookmarkNext(const IconPainter &ip)
{
    bookmarkRibbon(ip, QRect(1, 1, 12, 20));
    ip.arrow(QPointF(12, 17), QPointF(24, 17), Blue);
}

void bookmarkPrevious(const IconPainter &ip)
{
    bookmarkRibbon(ip, QRect(11, 1, 12, 20));
    ip.arrow(QPointF(12, 17), QPointF(0, 17), Blue);
}

void bookmarks(const IconPainter &ip)
{
    // A list of named marks.
    ip.box(QRect(0, 2, 24, 20), Paper);
    bookmarkRibbon(ip, QRect(3, 2, 6, 12));
    for (const int y : {7, 12, 17})
        ip.hline(12, 20, y, Blue);
}

void overview(const IconPainter &ip)
{
    // The whole trace in a strip, the part in view framed.
    ip.box(QRect(0, 5, 24, 14), Paper);
    ip.fillRect(QRect(2, 8, 5, 3), Green);
    ip.fillRect(QRect(9, 13, 4, 3), Violet);
    ip.fillRect(QRect(15, 8, 6, 3), Green);
    ip.fillRect(QRect(4, 13, 3, 3), Violet);
    ip.box(QRect(8, 2, 8, 20), Qt::transparent, 0, Blue);
}

void exportImage(const IconPainter &ip)
{
    // The chart as a picture, carried out of the frame.
    ip.box(QRect(0, 2, 18, 16), Paper);
    Shapes::chartBars(ip, QRect(2, 4, 14, 12));
    ip.arrow(QPointF(10, 19.5), QPointF(23, 19.5), Blue);
}

void statistics(const IconPainter &ip)
{
    // A histogram of durations.
    ip.hline(0, 23, 21);
    const int heights[] = {5, 12, 17, 9, 4};
    for (int bar = 0; bar < 5; ++bar)
        ip.box(QRect(1 + 4 * bar, 21 - heights[bar], 6, heights[bar] + 1), bar == 2 ? Orange : Blue);
}

} // namespace

int strokeForSize(int size)
{
    return size >= 24 ? 2 : 1;
}

const QList<IconSpec> &iconTable()
{
    static const QString interface = QStringLiteral("interface");
    static const QString services = QStringLiteral("services");
    static const QString sysevents = QStringLiteral("sysevents");
    static const QList<IconSpec> table{
        {interface, QStringLiteral("close_16"), 16, close16},
        {interface, QStringLiteral("event_16"), 16, event16},
        {interface, QStringLiteral("hub_16"), 16, hub16},
        {interface, QStringLiteral("hubs_16"), 16, hubs16},
        {interface, QStringLiteral("node_16"), 16, node16},
        {interface, QStringLiteral("node_area_16"), 16, nodeArea16},
        {interface, QStringLiteral("node_view_16"), 16, nodeView16},
        {interface, QStringLiteral("settings_16"), 16, settings16},
        {interface, QStringLiteral("task_16"), 16, task16},
        {interface, QStringLiteral("tasks_16"), 16, tasks16},
        {interface, QStringLiteral("tracer_16"), 16, tracer16},
        {interface, QStringLiteral("view_16"), 16, view16},
        {interface, QStringLiteral("views_16"), 16, views16},
        {interface, QStringLiteral("sync_marker_icon"), 16, syncMarker},
        {interface, QStringLiteral("folder_24"), 24, folder24},
        {interface, QStringLiteral("items_24"), 24, items24},
        {interface, QStringLiteral("manual_24"), 24, manual24},
        {interface, QStringLiteral("node_area_close_24"), 24, nodeAreaClose24},
        {interface, QStringLiteral("node_area_recent_24"), 24, nodeAreaRecent24},
        {interface, QStringLiteral("node_close_24"), 24, nodeClose24},
        {interface, QStringLiteral("node_recent_24"), 24, nodeRecent24},
        {interface, QStringLiteral("node_view_24"), 24, nodeView24},
        {interface, QStringLiteral("node_view_apart_24"), 24, nodeViewApart24},
        {interface, QStringLiteral("nodes_view_24"), 24, nodesView24},
        {interface, QStringLiteral("prop_browser_24"), 24, propBrowser24},
        {interface, QStringLiteral("settings_24"), 24, settings24},
        {interface, QStringLiteral("stats_24"), 24, stats24},
        {interface, QStringLiteral("synchro_24"), 24, synchro24},
        {interface, QStringLiteral("view_close_24"), 24, viewClose24},
        {interface, QStringLiteral("view_unwrap_24"), 24, viewUnwrap24},
        {interface, QStringLiteral("views_24"), 24, views24},
        {interface, QStringLiteral("views_cascaded_24"), 24, viewsCascaded24},
        {interface, QStringLiteral("views_close_24"), 24, viewsClose24},
        {interface, QStringLiteral("views_tiled_24"), 24, viewsTiled24},
        {interface, QStringLiteral("views_tiled_vertically_24"), 24, viewsTiledVertically24},
        {interface, QStringLiteral("zoom_in_24"), 24, zoomIn24},
        {interface, QStringLiteral("zoom_out_24"), 24, zoomOut24},
        {interface, QStringLiteral("external_header"), 24, externalHeader},
        {interface, QStringLiteral("internal_header"), 24, internalHeader},
        {interface, QStringLiteral("mode_lin"), 24, modeLin},
        {interface, QStringLiteral("mode_log"), 24, modeLog},
        {interface, QStringLiteral("menu_modes"), 24, menuModes},
        {interface, QStringLiteral("navigate_16"), 16, navigate16},
        {interface, QStringLiteral("fit_time"), 24, fitTime},
        {interface, QStringLiteral("zoom_selection"), 24, zoomSelection},
        {interface, QStringLiteral("history_back"), 24, historyBack},
        {interface, QStringLiteral("history_forward"), 24, historyForward},
        {interface, QStringLiteral("cursor_a"), 24, cursorA},
        {interface, QStringLiteral("cursor_b"), 24, cursorB},
        {interface, QStringLiteral("bookmark_add"), 24, bookmarkAdd},
        {interface, QStringLiteral("bookmark_next"), 24, bookmarkNext},
        {interface, QStringLiteral("bookmark_previous"), 24, bookmarkPrevious},
        {interface, QStringLiteral("bookmarks"), 24, bookmarks},
        {interface, QStringLiteral("overview"), 24, overview},
        {interface, QStringLiteral("export_image"), 24, exportImage},
        {interface, QStringLiteral("statistics"), 24, statistics},
        {interface, QStringLiteral("sarvek_kvt_32"), 32, application32},
        {interface, QStringLiteral("start_corner"), 7, startCorner},
        {interface, QStringLiteral("finish_corner"), 7, finishCorner},
        {services, QStringLiteral("SRV_START_TASK"), 16, srvStartTask},
        {services, QStringLiteral("SRV_SUSPEND_TASK"), 16, srvSuspendTask},
        {services, QStringLiteral("SRV_RESUME_TASK"), 16, srvResumeTask},
        {services, QStringLiteral("SRV_STOP_TASK"), 16, srvStopTask},
        {services, QStringLiteral("SRV_ANY_PACKET"), 16, srvAnyPacket},
        {services, QStringLiteral("SRV_SLEEP_TASK"), 16, srvSleepTask},
        {services, QStringLiteral("SRV_AWAKE_TASK"), 16, srvAwakeTask},
        {services, QStringLiteral("SRV_SEND_TO_HUB"), 16, srvSendToHub},
        {services, QStringLiteral("SRV_RECEIVE_FROM_HUB"), 16, srvReceiveFromHub},
        {services, QStringLiteral("SRV_RETURN"), 16, srvReturn},
        {services, QStringLiteral("SRV_OTHER"), 16, srvOther},
        {sysevents, QStringLiteral("sys_task_switch"), 16, sysTaskSwitch},
        {sysevents, QStringLiteral("sys_service_request"), 16, sysServiceRequest},
        {sysevents, QStringLiteral("sys_service_completed"), 16, sysServiceCompleted},
        {sysevents, QStringLiteral("sys_kernel_service_request"), 16, sysKernelServiceRequest},
        {sysevents, QStringLiteral("sys_kernel_service_completed"), 16, sysKernelServiceCompleted},
        {sysevents, QStringLiteral("sync_marker"), 16, syncMarker},
        {sysevents, QStringLiteral("sync_send_packet"), 16, syncSendPacket},
        {sysevents, QStringLiteral("sync_send_packet_notify"), 16, syncSendPacketNotify},
        {sysevents, QStringLiteral("sync_pass_packet"), 16, syncPassPacket},
        {sysevents, QStringLiteral("sync_pass_packet_notify"), 16, syncPassPacketNotify},
        {sysevents, QStringLiteral("sync_receive_packet"), 16, syncReceivePacket},
        {sysevents, QStringLiteral("sync_receive_packet_notify"), 16, syncReceivePacketNotify},
        {sysevents, QStringLiteral("user_marker"), 16, userMarker},
        {sysevents, QStringLiteral("sys_isr"), 16, sysIsr},
    };
    return table;
}

QImage renderIcon(const IconSpec &spec, int factor)
{
    QImage image(spec.size * factor, spec.size * factor, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.scale(factor, factor);
        const IconPainter ip(painter, spec.size, strokeForSize(spec.size));
        spec.paint(ip);
    }
    return image.convertToFormat(QImage::Format_ARGB32);
}

const IconSpec &applicationIcon()
{
    const QList<IconSpec> &table = iconTable();
    const auto found = std::find_if(table.cbegin(), table.cend(), [](const IconSpec &spec) {
        return spec.name == QLatin1String("sarvek_kvt_32");
    });
    Q_ASSERT(found != table.cend());
    return *found;
}
