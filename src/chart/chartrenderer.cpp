#include "chart/chartrenderer.h"

#include "chart/chartmapper.h"
#include "chart/packetroute.h"
#include "chart/paintindex.h"
#include "chart/rastertarget.h"
#include "chart/timescale.h"
#include "chart/viewroot.h"
#include "trace/eventcatalogue.h"
#include "trace/hub.h"
#include "trace/node.h"
#include "trace/task.h"

#include <QImage>
#include <QLinearGradient>
#include <QLineF>
#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <unordered_set>

namespace {

constexpr int H = ChartRenderer::rowHeight;

// Bar fills by variant: 0 a task switch, 1 the same task goes on, 2 another
// task follows. The flat and the gradient palettes pair hues differently.
const QRgb flatFills[3] = {0x80ff80, 0xff8080, 0x8080ff};
const QRgb gradientStops[3][4] = {
    {0x8080ff, 0xffffff, 0x8080ff, 0x4040c0},
    {0x80ff80, 0xffffff, 0x80ff80, 0x40c040},
    {0xff8080, 0xffffff, 0xff8080, 0xc04040},
};

QLinearGradient nodeGradient(int y0, int y1, bool current)
{
    static const QRgb currentStops[5] = {0xa0a0ff, 0xf0f0ff, 0x9999ff, 0x9999ff, 0x202080};
    static const QRgb otherStops[5] = {0x808080, 0xf0f0f0, 0x707070, 0x808080, 0x202020};
    static const qreal at[5] = {0.0, 0.1, 0.25, 0.75, 1.0};
    QLinearGradient gradient(0, y0, 0, y1);
    for (int k = 0; k < 5; ++k)
        gradient.setColorAt(at[k], QColor(current ? currentStops[k] : otherStops[k]));
    return gradient;
}

// Icons drawn many times on one spot (markers of events closer than a pixel)
// must look the same drawn once or a hundred times: partly transparent edge
// pixels would darken with every draw. Their alpha is made all or nothing.
QPixmap opaqueIcon(const QString &path)
{
    QImage image(path);
    if (image.isNull())
        return QPixmap();
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qAlpha(line[x]) >= 128 ? (line[x] | 0xff000000u) : 0u;
    }
    return QPixmap::fromImage(image);
}

bool isSyncType(int type)
{
    return EventType::isSync(type);
}

// The own colour of the task or hub a row stands for.
QColor itemColour(const ViewItem *item)
{
    if (item->kind() == ViewItem::TASK_ITEM) {
        const Task *task = static_cast<const ViewTask *>(item)->task();
        return task ? task->colour() : QColor(Qt::white);
    }
    const Hub *hub = static_cast<const ViewHub *>(item)->hub();
    return hub ? hub->colour() : QColor(Qt::white);
}

} // namespace

struct DrawOp;

// What one paint shares between rows: the frame, pens and brushes made once.
struct ChartRenderer::Pass
{
    Pass(const Frame &frame, ViewRoot &root, NodeViewStates &states)
        : frame(frame)
        , root(root)
        , states(states)
        , mapper(*frame.scale, frame.horizontalScroll)
    {}

    const Frame &frame;
    ViewRoot &root;
    NodeViewStates &states;
    const ChartMapper mapper;
    ChartGeometry geometry;
    bool internalHeader = false;
    // Merging hides a primitive under a later one: only sound when every
    // primitive replaces the pixels it covers.
    bool levelOfDetail = true;
    QPen black;
    QPen syncPen;
    QPen userPen;
    QPen transmitPen;
    QPen receivePen;
    QPen transmitHeadPen;
    QPen receiveHeadPen;
    // The events of the node row last visited and, with level of detail, its rows' primitives.
    struct Span
    {
        const ViewNode *node = nullptr;
        int right = 0; // the visible right edge, chart x
        EventRange events;
        std::vector<RowOps> rows; // with level of detail: each task row's primitives
    };
    Span span;
    // Bars are cut to a few pixels beyond the surface (painter coordinates):
    // zoomed far in, a long event's edges saturate at the ends of the int
    // range, and a rectangle that wide overflows QRect's width and is not
    // filled at all.
    int barLeftLimit = 0;
    int barRightLimit = 0;
    // What this paint covers, in the rows' coordinates: a row outside it is
    // not drawn, so it hides nothing of the rows that are.
    QRect clip;
    // False when nothing of the bar is left on the surface: it ends left of
    // it or starts right of it.
    bool clampBar(DrawOp &bar) const;
};

// One drawing primitive of a task row. With level of detail on, the
// primitives of one pixel column are collected and only the last of equal
// ones is drawn: every primitive is opaque (no antialiasing, icons with
// all-or-nothing alpha), so an equal one drawn later covers all its pixels.
struct DrawOp
{
    enum Kind : int { Bar, Connector, SyncMarker, UserMarker, HubArrow, PacketArrow };
    int kind = Bar;
    std::array<int, 6> p{};

    // Whether a later `other` covers every pixel this one draws.
    bool hiddenBy(const DrawOp &other) const
    {
        if (kind != other.kind || p[0] != other.p[0])
            return false;
        switch (kind) {
        case Bar:
            // Same left edge and row: a bar covers its columns up to one past
            // its right x whatever its fill, so a later bar reaching at least
            // as far hides it. A bar narrower than its outline (right x below
            // left x - 1) only hides or is hidden by its equal.
            if (p[1] != other.p[1] || p[3] != other.p[3])
                return false;
            if (p[2] < p[0] - 1 || other.p[2] < p[0] - 1)
                return p[2] == other.p[2];
            return other.p[2] >= p[2];
        case Connector:
            // Black vertical lines on one column: a later one spanning this one.
            return qMin(other.p[1], other.p[3]) <= qMin(p[1], p[3]) &&
                   qMax(other.p[1], other.p[3]) >= qMax(p[1], p[3]);
        default:
            return p == other.p;
        }
    }

    // Markers, packet arrows and connectors are drawn over the node's whole
    // task group, not only over their own row.
    bool spansRows() const { return kind != Bar && kind != HubArrow; }
};

bool ChartRenderer::Pass::clampBar(DrawOp &bar) const
{
    bar.p[0] = qMax(bar.p[0], barLeftLimit);
    bar.p[2] = qMin(bar.p[2], barRightLimit);
    return qint64(bar.p[2]) >= qint64(bar.p[0]) - 1;
}

// Draws the primitives of one task row. Literal drawing makes the calls the
// chart was specified with (a filled rectangle and its outline, lines); the
// fast drawing reaches the same pixels with solid fills only where a
// primitive is made of axis-aligned runs, which costs a fraction per call,
// and on a plain image writes them itself. Scaled or moved by part of a
// pixel, the two would differ: drawing is literal then.
class ChartRenderer::OpPainter
{
public:
    OpPainter(ChartRenderer &renderer, QPainter &painter, Pass &pass, const QRect &groupRect, bool literal)
        : m_renderer(renderer)
        , m_painter(painter)
        , m_pass(pass)
        , m_group(groupRect)
        , m_literal(literal || !RasterTarget::pixelAligned(painter))
    {
        if (!m_literal)
            m_raster = RasterTarget(painter);
    }

    void draw(const DrawOp &op);

private:
    void drawArrowHead(const QPoint &from, const QPoint &to);
    // The head of an arrow to or from a hub: two strokes from headY, four
    // pixels left and right of x, to `to`.
    void drawHubArrowHead(int x, int headY, const QPoint &to, const QPen &pen);
    void drawBar(const DrawOp &op);
    // A 1-pixel solid line from (x, y0) to (x, y1), both ends included.
    void verticalLine(int x, int y0, int y1, const QPen &pen);
    const QBrush &barBrush(int variant, int top, int bottom);
    void setPen(const QPen &pen);
    // A solid fill: straight into the image where it can be, else by the painter.
    void fill(const QRect &rect, const QColor &colour);

    ChartRenderer &m_renderer;
    QPainter &m_painter;
    Pass &m_pass;
    const QRect m_group;
    const bool m_literal;
    RasterTarget m_raster;       // usable only for fast drawing on a plain image
    const QPen *m_pen = nullptr; // the pen last set, to skip setting it again
    std::array<QBrush, 3> m_barBrushes;
    int m_brushTop = -1;
    int m_brushBottom = -1;
};

// One task row while the events of its node are turned into primitives.
struct ChartRenderer::RowOps
{
    const ViewItem *item = nullptr;
    int y0 = 0; // row top, viewport pixels
    int id = 0;
    bool kernel = false;
    bool painted = true; // the row lies in the paint's clip
    bool afterSwitch = true;
    // With level of detail the node's events are read backwards, so that
    // whatever a later primitive hides is known before it is built. What the
    // row drew later in the pixel column being read:
    int column = std::numeric_limits<int>::min();
    int widestBar = std::numeric_limits<int>::min(); // right x of the widest later bar
    double widestEnd = 0;      // where that bar's event ends on the time axis (see endOf)
    std::vector<DrawOp> later; // later primitives other than bars
    std::vector<DrawOp> ops;   // backwards while collecting
};

void ChartRenderer::OpPainter::setPen(const QPen &pen)
{
    if (m_pen != &pen) {
        m_painter.setPen(pen);
        m_pen = &pen;
    }
}

const QBrush &ChartRenderer::OpPainter::barBrush(int variant, int top, int bottom)
{
    const ChartSettings &settings = m_renderer.m_settings;
    if (m_brushTop != top || m_brushBottom != bottom) {
        // All bars of a row share their top and bottom: one brush per variant and row.
        for (int v = 0; v < 3; ++v) {
            if (settings.gradientBars) {
                QLinearGradient gradient(0, top, 0, bottom);
                gradient.setColorAt(0.0, QColor(gradientStops[v][0]));
                gradient.setColorAt(0.25, QColor(gradientStops[v][1]));
                gradient.setColorAt(0.5, QColor(gradientStops[v][2]));
                gradient.setColorAt(1.0, QColor(gradientStops[v][3]));
                m_barBrushes[size_t(v)] = QBrush(gradient);
            } else {
                m_barBrushes[size_t(v)] = QBrush(QColor(flatFills[v]));
            }
        }
        m_brushTop = top;
        m_brushBottom = bottom;
    }
    return m_barBrushes[size_t(variant)];
}

void ChartRenderer::OpPainter::drawBar(const DrawOp &op)
{
    const auto &p = op.p;
    const QRect rect(QPoint(p[0], p[1]), QPoint(p[2], p[3]));
    const QBrush &brush = barBrush(p[4], p[1], p[3]);
    const int w = rect.width();
    if (m_literal || w < 0) {
        m_painter.fillRect(rect, brush);
        setPen(m_pass.black);
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawRect(rect);
        return;
    }
    // An aliased 1-pixel outline of a w x h rectangle covers w + 1 by h + 1
    // pixels and leaves w - 1 by h - 1 of the fill inside.
    fill(QRect(rect.left(), rect.top(), w + 1, rect.height() + 1), m_pass.black.color());
    if (w < 2)
        return;
    const QRect inside(rect.left() + 1, rect.top() + 1, w - 1, rect.height() - 1);
    if (brush.style() == Qt::SolidPattern)
        fill(inside, brush.color());
    else
        m_painter.fillRect(inside, brush);
}

void ChartRenderer::OpPainter::verticalLine(int x, int y0, int y1, const QPen &pen)
{
    if (m_literal || pen.style() != Qt::SolidLine || pen.width() > 1) {
        setPen(pen);
        m_painter.drawLine(x, y0, x, y1);
        return;
    }
    fill(QRect(x, qMin(y0, y1), 1, qAbs(y1 - y0) + 1), pen.color());
}

void ChartRenderer::OpPainter::fill(const QRect &rect, const QColor &colour)
{
    if (m_raster.available() && colour.alpha() == 255)
        m_raster.fill(rect, colour.rgba());
    else
        m_painter.fillRect(rect, colour);
}

void ChartRenderer::OpPainter::drawHubArrowHead(int x, int headY, const QPoint &to, const QPen &pen)
{
    const QColor colour = pen.color();
    // Both strokes run at 45 degrees, four pixels across and down: an
    // aliased pen one pixel wide covers one pixel per row of each, ends
    // included.
    if (!m_literal && m_raster.available() && pen.width() <= 1 && pen.style() == Qt::SolidLine &&
        colour.alpha() == 255 && qAbs(to.y() - headY) == 4 && to.x() == x) {
        const int dy = to.y() > headY ? 1 : -1;
        for (int k = 0; k <= 4; ++k) {
            m_raster.point(x - 4 + k, headY + dy * k, colour.rgba());
            m_raster.point(x + 4 - k, headY + dy * k, colour.rgba());
        }
        return;
    }
    setPen(pen);
    m_painter.drawLine(QPoint(x - 4, headY), to);
    m_painter.drawLine(QPoint(x + 4, headY), to);
}

void ChartRenderer::OpPainter::drawArrowHead(const QPoint &from, const QPoint &to)
{
    // Two 12-pixel strokes at +-20 degrees to the reversed line direction.
    // Their ends are computed rather than drawn in a rotated painter: under a
    // rotation even an aliased pen leaves partly covered edge pixels, and a
    // head drawn twice would then differ from one drawn once.
    const qreal first = qDegreesToRadians(180.0 - QLineF(from, to).angle() + 20.0);
    const QPointF origin(to);
    for (const qreal angle : {first, first - qDegreesToRadians(40.0)})
        m_painter.drawLine(QLineF(origin, origin + QPointF(12.0 * qCos(angle), 12.0 * qSin(angle))));
}

void ChartRenderer::OpPainter::draw(const DrawOp &op)
{
    const ChartSettings &settings = m_renderer.m_settings;
    const auto &p = op.p;
    switch (op.kind) {
    case DrawOp::Bar:
        drawBar(op);
        break;
    case DrawOp::Connector:
        verticalLine(p[0], p[1], p[3], m_pass.black);
        break;
    case DrawOp::SyncMarker:
    case DrawOp::UserMarker: {
        const int x = p[0];
        const bool sync = op.kind == DrawOp::SyncMarker;
        const QColor &colour = sync ? settings.syncMarkerColor : settings.userMarkerColor;
        if (!sync)
            m_painter.drawPixmap(x - 1, m_group.top(), m_renderer.m_userMarkerIcon);
        verticalLine(x, m_group.top() + 18, m_group.bottom() + 1, sync ? m_pass.syncPen : m_pass.userPen);
        if (sync && settings.showSyncMarkerIcons)
            m_painter.drawPixmap(x - 8, m_group.top(), m_renderer.markerIcon(p[1]));
        fill(QRect(x - 2, m_group.top() + 18 - 5, 5, 5), colour);
        fill(QRect(x - 2, m_group.bottom() + 2, 5, 5), colour);
        break;
    }
    case DrawOp::HubArrow: {
        // p: x, event rect top, event rect bottom, hub row top, send, hub below
        const int x = p[0];
        const int top = p[1];
        const int bottom = p[2];
        const int hy = p[3];
        const bool send = p[4] != 0;
        const bool below = p[5] != 0;
        QPoint from;
        QPoint to;
        int headY;
        if (send) {
            from = below ? QPoint(x, bottom + 3) : QPoint(x, top - 1);
            to = below ? QPoint(x, hy + 4) : QPoint(x, hy + 14);
            headY = below ? hy : hy + 18;
        } else {
            from = below ? QPoint(x, hy + 4) : QPoint(x, hy + 14);
            to = below ? QPoint(x, bottom + 3) : QPoint(x, top);
            headY = below ? bottom + 7 : top - 4;
        }
        verticalLine(x, from.y(), to.y(), send ? m_pass.transmitPen : m_pass.receivePen);
        drawHubArrowHead(x, headY, to, send ? m_pass.transmitHeadPen : m_pass.receiveHeadPen);
        fill(QRect(x - 7, hy + 5, 14, 8), send ? settings.transmitColor : settings.receiveColor);
        break;
    }
    case DrawOp::PacketArrow: {
        const QPoint from(p[0], p[1]);
        const QPoint to(p[2], p[3]);
        setPen(m_pass.syncPen);
        m_painter.drawLine(from, to);
        if (QLineF(from, to).length() > 15.0)
            drawArrowHead(from, to);
        break;
    }
    }
}

ChartRenderer::ChartRenderer()
    : m_settings(ChartSettings::read())
    , m_nodeFont(QStringLiteral("Helvetica"), 10, QFont::Bold)
    , m_trainFont(QStringLiteral("Helvetica"), 10, QFont::Bold, true)
    , m_rowFont(QStringLiteral("Helvetica"), 10)
    , m_startCorner(QStringLiteral(":/interface/resources/start_corner.png"))
    , m_finishCorner(QStringLiteral(":/interface/resources/finish_corner.png"))
    , m_userMarkerIcon(opaqueIcon(QStringLiteral(":/sysevents/resources/user_marker.png")))
{}

ChartRenderer::~ChartRenderer() = default;

void ChartRenderer::setSettings(const ChartSettings &settings)
{
    m_settings = settings;
}

const QPixmap &ChartRenderer::markerIcon(int type)
{
    auto found = m_markerIcons.find(type);
    if (found == m_markerIcons.end()) {
        const QString path = m_catalogue ? m_catalogue->sysEvent(type).iconPath : QString();
        found = m_markerIcons.insert(type, path.isEmpty() ? QPixmap() : opaqueIcon(path));
    }
    return *found;
}

void ChartRenderer::paint(QPainter &painter, ViewRoot &root, NodeViewStates &states, const QRect &clip,
                          const Frame &frame)
{
    Q_ASSERT(frame.scale);
    if (frame.catalogue != m_catalogue) {
        m_catalogue = frame.catalogue;
        m_markerIcons.clear();
    }
    Pass pass(frame, root, states);
    pass.internalHeader = !frame.externalHeader;
    pass.span.rows = std::move(m_rowStorage);
    pass.levelOfDetail = m_levelOfDetail && painter.opacity() == 1.0 &&
                         painter.compositionMode() == QPainter::CompositionMode_SourceOver;
    pass.geometry.scale = frame.scale->scale();
    pass.geometry.horizontalScroll = frame.horizontalScroll;
    pass.geometry.verticalScroll = frame.verticalScroll;
    pass.geometry.rowHeight = H;
    pass.geometry.logMode = frame.scale->logMode();
    pass.geometry.surface = frame.viewport;
    const int surfaceLeft = frame.externalHeader ? -headerWidth : 0;
    pass.barLeftLimit = surfaceLeft - 2;
    pass.barRightLimit = surfaceLeft + frame.viewport.width() + 2;
    pass.black = QPen(Qt::black, 1);
    pass.syncPen = QPen(m_settings.syncMarkerColor, 1);
    pass.userPen = QPen(m_settings.userMarkerColor, 1);
    pass.transmitPen = QPen(m_settings.transmitColor, m_settings.arrowWidth, m_settings.transmitStyle);
    pass.receivePen = QPen(m_settings.receiveColor, m_settings.arrowWidth, m_settings.receiveStyle);
    pass.transmitHeadPen = QPen(m_settings.transmitColor, m_settings.arrowWidth, Qt::SolidLine);
    pass.receiveHeadPen = QPen(m_settings.receiveColor, m_settings.arrowWidth, Qt::SolidLine);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(clip, frame.background);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);

    // The chart is drawn S pixels right of the viewport's edge; rows are laid
    // out in the shifted coordinates, the clip follows them.
    const int shift = frame.externalHeader ? headerWidth : 0;
    painter.setWindow(-shift, 0, frame.viewport.width(), frame.viewport.height());
    painter.setViewport(0, 0, frame.viewport.width(), frame.viewport.height());
    const QRect shiftedClip = clip.translated(-shift, 0);
    pass.clip = shiftedClip;
    paintItem(&root, painter, shiftedClip, 0, pass);
    paintItem(&root, painter, shiftedClip, 1, pass);

    if (frame.externalHeader) {
        painter.setWindow(0, 0, frame.viewport.width(), frame.viewport.height());
        paintHeader(&root, painter, pass);
    }
    painter.restore();
    m_rowStorage = std::move(pass.span.rows);
}

void ChartRenderer::paintItem(ViewItem *item, QPainter &painter, const QRect &clip, int pass, Pass &state)
{
    const QRect rect = state.root.itemRect(item, state.geometry);
    item->setRect(rect);
    const QRect visible = clip & rect;
    switch (item->kind()) {
    case ViewItem::ROOT_ITEM:
        paintRoot(painter, visible, pass);
        break;
    case ViewItem::NODE_ITEM:
        paintNodeRow(static_cast<ViewNode *>(item), painter, visible, pass, state);
        break;
    case ViewItem::TASK_TRAIN_ITEM:
    case ViewItem::HUB_TRAIN_ITEM:
        paintTrainRow(item, painter, visible, pass, state);
        break;
    case ViewItem::TASK_ITEM:
    case ViewItem::HUB_ITEM:
        paintLeafRow(item, painter, clip, visible, pass, state);
        break;
    }
    for (int i = 0; i < item->childCount(); ++i)
        paintItem(item->child(i), painter, clip, pass, state);
}

void ChartRenderer::paintRoot(QPainter &painter, const QRect &visible, int pass) const
{
    if (pass != 0)
        return;
    painter.fillRect(visible, Qt::black);
    painter.setFont(m_nodeFont);
    painter.setPen(Qt::white);
}

void ChartRenderer::paintNodeRow(ViewNode *node, QPainter &painter, const QRect &visible, int pass,
                                 Pass &state)
{
    const int y0 = node->row() * H - state.frame.verticalScroll;
    const int y1 = y0 + H;
    const bool current = node->node() && node->node() == state.root.currentNode();
    if (pass == 0) {
        painter.fillRect(visible, QBrush(nodeGradient(y0, y1, current)));
        painter.setPen(current ? Qt::black : Qt::white);
        if (state.internalHeader) {
            painter.setFont(m_nodeFont);
            painter.drawText(visible.left() + 18, y1 - 4, node->label());
        }
        return;
    }

    Node *model = node->node();
    if (!model)
        return;
    NodeViewState &record = state.states[model->traceFileName()];
    const int count = model->eventCount();
    const QRect nodeRect = node->rect();
    const ChartMapper &mapper = state.mapper;
    if (current && count > 0) {
        // The events the event list does not show are hatched over.
        painter.setPen(Qt::gray);
        painter.setBrush(QBrush(Qt::gray, Qt::BDiagPattern));
        if (record.listFirst > 0 && record.listFirst < count && record.listFirst - 1 > 0)
            painter.drawRect(selectionRect(0, record.listFirst - 1, *node, nodeRect, mapper));
        int after = record.listLast + 1;
        if (after >= count || record.listLast < 0)
            after = count - 1;
        painter.drawRect(selectionRect(after, count - 1, *node, nodeRect, mapper));
        painter.setBrush(Qt::NoBrush);
    }
    if (record.selFirst >= 0 && record.selLast >= 0) {
        const QRect selection = selectionRect(record.selFirst, record.selLast, *node, nodeRect, mapper);
        painter.setOpacity(0.5);
        painter.fillRect(selection, current ? QColor(Qt::blue) : QColor(0x90, 0x90, 0xc0));
        painter.setOpacity(1.0);
    }
}

void ChartRenderer::paintTrainRow(ViewItem *train, QPainter &painter, const QRect &visible, int pass,
                                  Pass &state)
{
    if (pass != 0)
        return;
    painter.fillRect(visible, Qt::gray);
    if (state.internalHeader) {
        const int y1 = train->row() * H - state.frame.verticalScroll + H;
        painter.setFont(m_trainFont);
        painter.setPen(Qt::white);
        const bool tasks = train->kind() == ViewItem::TASK_TRAIN_ITEM;
        painter.drawText(2, y1 - 4, tasks ? QStringLiteral(" Tasks:") : QStringLiteral(" Hubs:"));
    }
}

void ChartRenderer::paintLeafRow(ViewItem *item, QPainter &painter, const QRect &clip, const QRect &visible,
                                 int pass, Pass &state)
{
    const int y0 = item->row() * H - state.frame.verticalScroll;
    const int y1 = y0 + H;
    const bool isTask = item->kind() == ViewItem::TASK_ITEM;
    if (pass == 1) {
        if (!isTask)
            return;
        paintTaskEvents(item, painter, visible, state);
        if (state.internalHeader) {
            painter.setFont(m_rowFont);
            painter.setPen(Qt::black);
            painter.drawText(2, y1 - 4, QStringLiteral("  ") + item->label());
        }
        return;
    }

    const QRect row(0, y0, clip.width(), H);
    if (row != visible) {
        painter.fillRect(row, Qt::lightGray);
        painter.setPen(Qt::gray);
        painter.drawRect(row);
    }
    QColor swimline;
    switch (m_settings.swimlineSchema) {
    case 1:
        swimline = QColor(0xf8, 0xf8, 0xf8);
        break;
    case 2:
        // By absolute row number, not by position within the node.
        swimline = item->row() % 2 == 0 ? QColor(0xe8, 0xe8, 0xe8) : QColor(0xf8, 0xf8, 0xf8);
        break;
    default:
        swimline = itemColour(item);
        break;
    }
    if (visible.isValid()) {
        painter.fillRect(visible, swimline);
        painter.setPen(Qt::gray);
        painter.drawRect(visible);
        const QRect rect = item->rect();
        painter.drawPixmap(rect.topLeft(), m_startCorner);
        painter.drawPixmap(rect.right() - 5, rect.bottom() - 5, m_finishCorner);
    }
    if (!isTask && state.internalHeader) {
        painter.setFont(m_rowFont);
        painter.setPen(Qt::black);
        painter.drawText(2, y1 - 4, QStringLiteral("  ") + item->label());
    }
}

QRect ChartRenderer::selectionRect(int a, int b, const ViewNode &node, const QRect &nodeRect,
                                   const ChartMapper &mapper) const
{
    const Node *model = node.node();
    const TraceEvent *ea = model ? model->event(a) : nullptr;
    const TraceEvent *eb = model ? model->event(b) : nullptr;
    if (!ea || !eb)
        return QRect();
    const int xa = mapper.leftX(*ea, node.shift());
    const int xb = mapper.leftX(*eb, node.shift());
    const qint64 width = qint64(mapper.widthOf(xa < xb ? *eb : *ea)) + qAbs(qint64(xb) - xa) + 1;
    return heldRect(qMin(xa, xb), nodeRect.top() + H, width, nodeRect.height() - H);
}

void ChartRenderer::paintTaskEvents(ViewItem *item, QPainter &painter, const QRect &visible, Pass &state)
{
    auto *taskRow = static_cast<ViewTask *>(item);
    ViewNode *n = item->viewNode();
    const Node *node = n ? n->node() : nullptr;
    const Task *task = taskRow->task();
    if (!visible.isValid() || !node || !task)
        return;
    NodeViewState &record = state.states[node->traceFileName()];

    // Every task row of a node visits the same span: find it once.
    Pass::Span &span = state.span;
    if (span.node != n || span.right != visible.right()) {
        // The rows' storage is kept: a paint fills about as much as the one before.
        std::vector<RowOps> rows = std::move(span.rows);
        span = Pass::Span{n, visible.right(),
                          state.mapper.eventsBetween(*node, n->shift(), 0, visible.right()), std::move(rows)};
        if (state.levelOfDetail && span.events.first >= 0)
            collectNodeOps(*n, span.events.first, span.events.end, state);
    }
    const int first = span.events.first;
    record.chartFirst = first;
    // Scrolled past the node's last event: nothing of it is in view.
    record.chartEnd = span.events.end;
    if (first < 0)
        return;

    OpPainter out(*this, painter, state, n->taskTrain() ? n->taskTrain()->rect() : QRect(),
                  !state.levelOfDetail);
    if (state.levelOfDetail) {
        // Collected for all rows of the node in one pass over its events.
        for (const RowOps &row : span.rows) {
            if (row.item == item) {
                for (const DrawOp &op : row.ops)
                    out.draw(op);
            }
        }
        return;
    }
    // The reference: every event of the span visited for every row, every
    // primitive drawn.
    RowOps row;
    row.item = item;
    row.y0 = item->row() * H - state.frame.verticalScroll;
    row.id = task->id();
    row.kernel = task->role() == Task::KERNEL;
    const std::vector<TraceEvent> &events = node->events();
    for (int i = first; i < span.events.end; ++i) {
        if (events[size_t(i)].currentTask == row.id)
            eventOps(i, *n, row, state, [&out](int, const DrawOp &op) { out.draw(op); });
    }
}

void ChartRenderer::collectNodeOps(const ViewNode &n, int first, int end, Pass &state)
{
    // One pass over the node's events, each event going to its task's row:
    // reading the events in order costs far less than each row picking out
    // its own events scattered over memory. The pass runs backwards: a
    // primitive that a later one of its row and pixel column covers is then
    // dropped before it is ever built.
    std::vector<RowOps> &rows = state.span.rows;
    const ViewTaskTrain *train = n.taskTrain();
    if (!train)
        return;
    rows.resize(size_t(train->childCount()));
    // Rows by task id: a flat table when the ids are few and close together
    // (they usually are), a hash otherwise.
    int minId = std::numeric_limits<int>::max();
    int maxId = std::numeric_limits<int>::min();
    for (int k = 0; k < train->childCount(); ++k) {
        const auto *row = static_cast<const ViewTask *>(train->child(k));
        RowOps &ops = rows[size_t(k)];
        RowOps fresh;
        fresh.ops = std::move(ops.ops);
        fresh.ops.clear();
        fresh.later = std::move(ops.later);
        fresh.later.clear();
        ops = std::move(fresh);
        ops.item = row;
        ops.y0 = row->row() * H - state.frame.verticalScroll;
        ops.id = row->itemId();
        ops.kernel = row->task() && row->task()->role() == Task::KERNEL;
        ops.painted = (state.root.itemRect(row, state.geometry) & state.clip).isValid();
        minId = qMin(minId, ops.id);
        maxId = qMax(maxId, ops.id);
    }
    const bool flat = !rows.empty() && qint64(maxId) - minId < 4096;
    std::vector<RowOps *> flatRows(flat ? size_t(maxId - minId + 1) : 0, nullptr);
    QHash<int, RowOps *> hashedRows;
    for (RowOps &ops : rows) {
        if (flat)
            flatRows[size_t(ops.id - minId)] = &ops;
        else
            hashedRows.insert(ops.id, &ops);
    }
    const auto rowOf = [&](int task) -> RowOps * {
        if (!flat)
            return hashedRows.value(task);
        return task >= minId && task <= maxId ? flatRows[size_t(task - minId)] : nullptr;
    };

    const std::vector<TraceEvent> &events = n.node()->events();
    const ChartMapper &mapper = state.mapper;
    const int shift = n.shift();

    const PaintIndex &index = n.paintIndex();
    // Adds a primitive read backwards unless a later one of the row and
    // column covers it; returns whether it was kept.
    const auto add = [](RowOps &row, int column, const DrawOp &op) {
        if (column != row.column) {
            row.column = column;
            row.widestBar = std::numeric_limits<int>::min();
            row.later.clear();
        }
        if (op.kind == DrawOp::Bar) {
            // Bars of one row and column share their left edge and height.
            if (row.widestBar >= op.p[2])
                return false;
            row.widestBar = op.p[2];
            row.widestEnd = -std::numeric_limits<double>::infinity(); // unknown: no shortcut
        } else {
            for (const DrawOp &other : row.later) {
                if (op.hiddenBy(other))
                    return false;
            }
            row.later.push_back(op);
        }
        row.ops.push_back(op);
        return true;
    };

    // Positions never decreasing along the events (the usual case): the
    // events of one pixel column are found by bisection, and right x is
    // only computed where it can decide anything.
    const bool ordered = n.node()->inTimeOrder();
    const bool logMode = mapper.logMode();
    const auto endOf = [logMode](const TraceEvent &e) {
        return logMode ? double(e.logPosition + e.logDuration) : double(qint64(e.offset) + e.duration);
    };
    int columnStart = end; // events [columnStart, columnLast] share columnX
    int columnLast = end;
    int columnX = 0;

    int lastTask = std::numeric_limits<int>::min();
    RowOps *row = nullptr;
    struct Pending
    {
        int column;
        DrawOp op;
    };
    std::vector<Pending> eventOpsBuffer;
    // The events read are few and far apart: ask for them well before they
    // are needed. Most are the last of their task in a pixel column, which
    // the column left of the one being read decides for those beyond its start.
    constexpr int lookAhead = 256;
    int ahead = end - 1;
    for (int i = end - 1; i >= first; --i) {
        if (ordered) {
            if (i < columnStart) {
                // Entering a pixel column: find where its events begin,
                // galloping back from its last event, then by bisection.
                columnLast = i;
                columnX = mapper.leftX(events[size_t(i)], shift);
                int inside = i;          // known to be in the column
                int outside = first - 1; // known to be left of it
                for (int step = 1; i - step >= first; step *= 2) {
                    if (mapper.leftX(events[size_t(i - step)], shift) != columnX) {
                        outside = i - step;
                        break;
                    }
                    inside = i - step;
                }
                int lo = outside + 1;
                int hi = inside;
                while (lo < hi) {
                    const int mid = lo + (hi - lo) / 2;
                    if (mapper.leftX(events[size_t(mid)], shift) == columnX)
                        hi = mid;
                    else
                        lo = mid + 1;
                }
                columnStart = lo;
            }
            const int margin = (columnLast - columnStart) / 2;
            for (const int aheadEnd = qMax(first, i - lookAhead); ahead >= aheadEnd; --ahead) {
                const int need = index.mustShareColumn(ahead);
                const int judge = ahead >= columnStart ? columnLast : columnStart - 1;
                if (need > judge || need - ahead > margin) {
                    // The fields read span up to two cache lines.
                    const char *event = reinterpret_cast<const char *>(&events[size_t(ahead)]);
                    __builtin_prefetch(event);
                    __builtin_prefetch(event + offsetof(TraceEvent, currentTask));
                    index.prefetch(ahead, true);
                } else {
                    index.prefetch(ahead, false);
                }
            }
            // Hidden by a later primitive of the same column, read before.
            if (index.mustShareColumn(i) <= columnLast) {
                const PaintIndex::ArrowPair *pair = index.arrowPair(i);
                // Zoomed out, both arrows stand on their bars' left edge
                // and neither event needs reading.
                if (!pair || mapper.halfWidthOf(logMode ? pair->logarithmic : pair->linear) == 0 ||
                    mapper.halfWidthOf(events[size_t(i)]) == mapper.halfWidthOf(events[size_t(pair->next)]))
                    continue;
            }
        }
        const TraceEvent &e = events[size_t(i)];
        if (e.currentTask != lastTask) {
            row = rowOf(e.currentTask);
            lastTask = e.currentTask;
        }
        if (!row || !row->painted)
            continue;
        if (!index.special(i)) {
            // A bar, after a switch with the connector from the task before;
            // built here without the general path.
            const bool switched = e.type == EventType::TaskSwitch;
            const int lx = ordered ? columnX : mapper.leftX(e, shift);
            if (lx != row->column) {
                row->column = lx;
                row->widestBar = std::numeric_limits<int>::min();
                row->later.clear();
            }
            // Right x grows with the end time: an event that ends no later
            // than the row's widest later bar in this column is hidden by it
            // (or, cut at the surface's edge, shows nothing).
            const double endKey = endOf(e);
            const bool covered =
                row->widestBar != std::numeric_limits<int>::min() && endKey <= row->widestEnd;
            if (!covered) {
                DrawOp bar;
                bar.kind = DrawOp::Bar;
                bar.p = {lx, row->y0 + 1, mapper.rightX(e, shift), row->y0 + H - 2, 0, 0};
                if (state.clampBar(bar) && bar.p[2] > row->widestBar) {
                    row->widestBar = bar.p[2];
                    row->widestEnd = endKey;
                    if (!switched)
                        bar.p[4] = index.barVariant(i, first);
                    row->ops.push_back(bar);
                }
            }
            if (!switched || i == 0)
                continue;
            if (const RowOps *previous = rowOf(events[size_t(i - 1)].currentTask)) {
                DrawOp connector;
                connector.kind = DrawOp::Connector;
                connector.p = {lx, previous->y0 + 1, lx, row->y0 + 1, 0, 0};
                add(*row, lx, connector);
            }
            continue;
        }
        eventOpsBuffer.clear();
        eventOps(i, n, *row, state, [&eventOpsBuffer](int column, const DrawOp &op) {
            eventOpsBuffer.push_back({column, op});
        });
        for (auto it = eventOpsBuffer.crbegin(); it != eventOpsBuffer.crend(); ++it) {
            DrawOp op = it->op;
            if (op.kind == DrawOp::Bar && e.type != EventType::TaskSwitch)
                op.p[4] = index.barVariant(i, first);
            add(*row, it->column, op);
        }
    }
    for (RowOps &r : rows)
        std::reverse(r.ops.begin(), r.ops.end());
    dropCoveredAcrossRows(rows);
}

void ChartRenderer::dropCoveredAcrossRows(std::vector<RowOps> &rows)
{
    // Rows are drawn one after another, so a primitive that reaches over the
    // whole task group is hidden by an equal or covering one of a later row
    // just as by a later one of its own. Walk the drawing order backwards,
    // remembering what is drawn later.
    struct KeyHash
    {
        size_t operator()(const std::array<int, 7> &key) const { return qHashRange(key.begin(), key.end()); }
    };
    std::unordered_set<std::array<int, 7>, KeyHash> later;   // markers and packet arrows
    std::unordered_map<int, std::vector<DrawOp>> connectors; // by column
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        if (!row->painted)
            continue;
        std::vector<DrawOp> &ops = row->ops;
        std::vector<bool> keep(ops.size(), true);
        for (size_t k = ops.size(); k-- > 0;) {
            const DrawOp &op = ops[k];
            if (!op.spansRows())
                continue;
            if (op.kind == DrawOp::Connector) {
                std::vector<DrawOp> &column = connectors[op.p[0]];
                if (std::any_of(column.cbegin(), column.cend(),
                                [&op](const DrawOp &other) { return op.hiddenBy(other); }))
                    keep[k] = false;
                else
                    column.push_back(op);
                continue;
            }
            const std::array<int, 7> key{op.kind, op.p[0], op.p[1], op.p[2], op.p[3], op.p[4], op.p[5]};
            keep[k] = later.insert(key).second;
        }
        size_t kept = 0;
        for (size_t k = 0; k < ops.size(); ++k) {
            if (keep[k])
                ops[kept++] = ops[k];
        }
        ops.resize(kept);
    }
}

template<typename Emit>
void ChartRenderer::eventOps(int i, const ViewNode &n, RowOps &row, Pass &state, Emit &&sink)
{
    const Node *node = n.node();
    const std::vector<TraceEvent> &events = node->events();
    const TraceEvent &e = events[size_t(i)];
    const ChartMapper &mapper = state.mapper;
    const int v = state.frame.verticalScroll;
    const int y0 = row.y0;
    const int y1 = y0 + H;
    const int lx = mapper.leftX(e, n.shift());
    const auto bar = [&](int variant) {
        DrawOp op;
        op.kind = DrawOp::Bar;
        op.p = {lx, y0 + 1, mapper.rightX(e, n.shift()), y1 - 2, variant, 0};
        if (state.clampBar(op))
            sink(lx, op);
    };
    if (e.type == EventType::TaskSwitch) {
        if (i > 0) {
            const ViewItem *previous =
                n.taskTrain() ? n.taskTrain()->childById(events[size_t(i - 1)].currentTask) : nullptr;
            if (previous) {
                DrawOp op;
                op.kind = DrawOp::Connector;
                op.p = {lx, previous->row() * H - v + 1, lx, y0 + 1, 0, 0};
                sink(lx, op);
            }
        }
        bar(0);
        row.afterSwitch = true;
        return;
    }
    if (isSyncType(e.type)) {
        DrawOp op;
        op.kind = DrawOp::SyncMarker;
        op.p = {lx, e.type, 0, 0, 0, 0};
        sink(lx, op);
        if (e.type != EventType::SyncMarker)
            packetArrowOps(e, n, state, [&sink, lx](const DrawOp &arrow) { sink(lx, arrow); });
        return;
    }
    if (e.type == EventType::UserMarker) {
        DrawOp op;
        op.kind = DrawOp::UserMarker;
        op.p = {lx, 0, 0, 0, 0, 0};
        sink(lx, op);
        return;
    }
    int variant = 2;
    if (row.afterSwitch) {
        variant = 1;
        row.afterSwitch = false;
    } else if (i == node->eventCount() - 1 || events[size_t(i + 1)].currentTask == row.id) {
        variant = 1;
    }
    bar(variant);

    if (!row.kernel || e.type != EventType::KernelServicingRequest)
        return;
    const auto service = node->services().constFind(e.arg1);
    const int code = service == node->services().cend() ? ServiceCode::Other : service->code;
    if (code != ServiceCode::SendToHub && code != ServiceCode::ReceiveFromHub)
        return;
    auto *hubNode = static_cast<ViewNode *>(state.root.childById(e.nodeId));
    const ViewItem *hubRow =
        hubNode && hubNode->hubTrain() ? hubNode->hubTrain()->childById(e.arg2) : nullptr;
    if (!hubRow)
        return;
    // Zoomed in without end the sum may leave the int range: it stops at its ends.
    const int arrowX = TimeScaleDetail::toPixel(double(lx) + double(mapper.halfWidthOf(e)));
    const int hubTop = hubRow->row() * H - v;
    const bool send = code == ServiceCode::SendToHub;
    DrawOp op;
    op.kind = DrawOp::HubArrow;
    op.p = {arrowX, y0 + 1, y1 - 2, hubTop, send ? 1 : 0, state.root.isAbove(&n, hubNode) ? 1 : 0};
    sink(lx, op);
}

template<typename Emit>
void ChartRenderer::packetArrowOps(const TraceEvent &e, const ViewNode &n, Pass &state, Emit &&sink)
{
    // A sync event's node id is bits 8-15 of the first parameter, its second argument the second.
    const quint32 key = packetKey(e.nodeId << 8, e.arg2);
    const int hop = e.arg2 >> 16;
    const QVector<NodePacketRef> refs = state.root.packetEvents(key);
    const ChartMapper &mapper = state.mapper;
    const int nodeId = n.node()->nodeId();
    for (const PacketArrow &arrow : packetArrows(PaintedPacketEvent{nodeId, e.type, hop}, refs)) {
        auto *partner = static_cast<ViewNode *>(state.root.childById(arrow.nodeId));
        const TraceEvent *pe =
            partner && partner->node() ? partner->node()->event(arrow.eventIndex) : nullptr;
        if (!pe || !partner->taskTrain())
            continue;
        // Both ends carry their node's shift.
        const int px = mapper.leftX(*pe, partner->shift());
        const int ex = mapper.leftX(e, n.shift());
        const QRect groupRect = n.taskTrain() ? n.taskTrain()->rect() : QRect();
        const QRect other = partner->taskTrain()->rect();
        QPoint here;
        QPoint there;
        if (arrow.alongGroupRow) {
            here = QPoint(ex, groupRect.top() + 15);
            there = QPoint(px, other.top() + 15);
        } else if (state.root.isAbove(&n, partner)) {
            here = QPoint(ex, groupRect.bottom() + 3);
            there = QPoint(px, other.top() + 15);
        } else {
            here = QPoint(ex, groupRect.top() + 15);
            there = QPoint(px, other.bottom() + 3);
        }
        const bool towards = arrow.direction == PacketArrow::TOWARDS_PARTNER;
        const QPoint from = towards ? here : there;
        const QPoint to = towards ? there : here;
        DrawOp op;
        op.kind = DrawOp::PacketArrow;
        op.p = {from.x(), from.y(), to.x(), to.y(), 0, 0};
        sink(op);
    }
}

void ChartRenderer::paintHeader(ViewItem *item, QPainter &painter, Pass &state) const
{
    const int y0 = item->row() * H - state.frame.verticalScroll;
    const int y1 = y0 + H;
    const QRect cell(0, y0, headerWidth, H);
    switch (item->kind()) {
    case ViewItem::ROOT_ITEM:
        painter.fillRect(
            QRect(cell.left(), cell.top(), headerWidth, (ViewRoot::visibleRowCount(item) + 1) * H),
            Qt::black);
        painter.setFont(m_nodeFont);
        painter.setPen(Qt::white);
        painter.drawPixmap(cell.left() + 2, y0 + 1,
                           QPixmap(QStringLiteral(":/interface/resources/node_area_16.png")));
        painter.drawText(cell.left() + 18, y1 - 4, state.frame.title);
        break;
    case ViewItem::NODE_ITEM: {
        const auto *node = static_cast<ViewNode *>(item);
        const bool current = node->node() && node->node() == state.root.currentNode();
        painter.fillRect(cell, QBrush(nodeGradient(y0, y1, current)));
        painter.setFont(m_nodeFont);
        painter.setPen(current ? Qt::black : Qt::white);
        painter.drawPixmap(cell.left() + 2, y0 + 1,
                           QPixmap(QStringLiteral(":/interface/resources/node_16.png")));
        painter.drawText(cell.left() + 18, y1 - 4, node->label());
        break;
    }
    case ViewItem::TASK_TRAIN_ITEM:
    case ViewItem::HUB_TRAIN_ITEM: {
        const bool tasks = item->kind() == ViewItem::TASK_TRAIN_ITEM;
        painter.fillRect(QRect(cell.left(), cell.top(), 199, (ViewRoot::visibleRowCount(item) + 1) * H + 1),
                         Qt::gray);
        painter.setFont(m_trainFont);
        painter.setPen(Qt::white);
        painter.drawPixmap(cell.left() + 2, y0 + 1,
                           QPixmap(tasks ? QStringLiteral(":/interface/resources/tasks_16.png")
                                         : QStringLiteral(":/interface/resources/hubs_16.png")));
        painter.drawText(cell.left() + 18, y1 - 4,
                         tasks ? QStringLiteral(" Tasks:") : QStringLiteral(" Hubs:"));
        break;
    }
    case ViewItem::TASK_ITEM:
    case ViewItem::HUB_ITEM: {
        const bool isTask = item->kind() == ViewItem::TASK_ITEM;
        const QRect inner = cell.adjusted(10, 0, -2, 0);
        const QColor colour = itemColour(item);
        painter.fillRect(inner, colour);
        painter.setPen(Qt::gray);
        painter.drawRect(inner);
        painter.setFont(m_rowFont);
        painter.setPen(Qt::black);
        painter.drawPixmap(cell.left() + 12, y0 + 1,
                           QPixmap(isTask ? QStringLiteral(":/interface/resources/task_16.png")
                                          : QStringLiteral(":/interface/resources/hub_16.png")));
        painter.drawText(QRect(cell.left() + 23, y0 + 1, headerWidth - 23, H), Qt::AlignLeft,
                         QStringLiteral("  ") + item->label());
        break;
    }
    }
    for (int i = 0; i < item->childCount(); ++i)
        paintHeader(item->child(i), painter, state);
    if (item->kind() == ViewItem::NODE_ITEM) {
        const auto *node = static_cast<ViewNode *>(item);
        if (node->node() && node->node() == state.root.currentNode()) {
            painter.setPen(QPen(Qt::blue, 1));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(0, y0, state.frame.viewport.width(), (ViewRoot::visibleRowCount(item) + 1) * H);
        }
    }
}
