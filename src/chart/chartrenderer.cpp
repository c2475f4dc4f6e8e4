#include "chart/chartrenderer.h"

#include "app/tracer.h"
#include "chart/packetroute.h"
#include "chart/timescale.h"
#include "chart/viewroot.h"
#include "trace/hub.h"
#include "trace/node.h"
#include "trace/task.h"

#include <QImage>
#include <QLinearGradient>
#include <QLineF>
#include <QPainter>
#include <QtMath>

#include <array>
#include <cstring>

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

// What one paint shares between rows: the frame, pens and brushes made once.
struct ChartRenderer::Pass
{
    const Frame &frame;
    ViewRoot &root;
    NodeViewStates &states;
    ChartGeometry geometry;
    bool internalHeader = false;
    QPen black;
    QPen syncPen;
    QPen userPen;
    QPen transmitPen;
    QPen receivePen;
    QPen transmitHeadPen;
    QPen receiveHeadPen;
    // Per node: where the events of the last computed visible span end.
    struct Span
    {
        const Node *node = nullptr;
        int first = -1;
        float limit = 0;
        int end = 0;
        std::vector<RowOps> rows; // with level of detail: each task row's primitives
    };
    Span span;
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

    // Whether a later `other` covers every pixel this one draws. Bars cover
    // their rectangle whatever their fill, so a later bar on the same
    // rectangle hides an earlier one of any variant.
    bool hiddenBy(const DrawOp &other) const
    {
        if (kind != other.kind)
            return false;
        if (kind == Connector && p[0] == other.p[0] && p[2] == other.p[2] && p[3] == other.p[3]) {
            // Vertical lines into one row end on the same pixel: a later one
            // that starts at least as far away on the same side covers this one.
            return p[1] <= p[3] ? other.p[1] <= p[1] : other.p[1] >= p[1];
        }
        const bool sameRect =
            p[0] == other.p[0] && p[1] == other.p[1] && p[2] == other.p[2] && p[3] == other.p[3];
        if (kind == Bar)
            return sameRect;
        return sameRect && p[4] == other.p[4] && p[5] == other.p[5];
    }
};

// Draws the primitives of one task row.
class ChartRenderer::OpPainter
{
public:
    OpPainter(ChartRenderer &renderer, QPainter &painter, Pass &pass, const QRect &groupRect)
        : m_renderer(renderer)
        , m_painter(painter)
        , m_pass(pass)
        , m_group(groupRect)
    {}

    void draw(const DrawOp &op);

private:
    void drawArrowHead(const QPoint &from, const QPoint &to);

    ChartRenderer &m_renderer;
    QPainter &m_painter;
    Pass &m_pass;
    const QRect m_group;
    std::array<QBrush, 3> m_barBrushes;
    int m_brushTop = -1;
    int m_brushBottom = -1;
};

namespace {

// The primitives the events of one row ask for in one pixel column. Of those
// a later one hides, only the later is kept; the rest keep their order.
class OpColumn
{
public:
    // `column` is the left x of the event that asks for the primitive.
    void add(int column, const DrawOp &op, std::vector<DrawOp> &out)
    {
        if (column != m_column)
            flush(out);
        m_column = column;
        // Only a primitive of the same kind can hide another: each kind keeps
        // the positions of its live primitives, so a dense column does not
        // compare every new primitive with all the others.
        Kind &kind = m_kinds[size_t(op.kind)];
        for (int k = 0; k < kind.count;) {
            const int at = kind.positions[size_t(k)];
            if (m_ops[size_t(at)].hiddenBy(op)) {
                m_alive[size_t(at)] = false;
                kind.positions[size_t(k)] = kind.positions[size_t(--kind.count)];
            } else {
                ++k;
            }
        }
        if (m_used == capacity)
            compact();
        if (m_used == capacity || kind.count == capacity)
            flush(out);
        m_ops[size_t(m_used)] = op;
        m_alive[size_t(m_used)] = true;
        kind.positions[size_t(kind.count++)] = m_used++;
    }

    void flush(std::vector<DrawOp> &out)
    {
        for (int k = 0; k < m_used; ++k) {
            if (m_alive[size_t(k)])
                out.push_back(m_ops[size_t(k)]);
        }
        m_used = 0;
        for (Kind &kind : m_kinds)
            kind.count = 0;
    }

private:
    static constexpr int capacity = 64;
    static constexpr int kinds = DrawOp::PacketArrow + 1;

    struct Kind
    {
        int count = 0;
        std::array<int, capacity> positions;
    };

    // Drops the hidden primitives, keeping the order of the others.
    void compact()
    {
        int used = 0;
        for (Kind &kind : m_kinds)
            kind.count = 0;
        for (int k = 0; k < m_used; ++k) {
            if (!m_alive[size_t(k)])
                continue;
            m_ops[size_t(used)] = m_ops[size_t(k)];
            m_alive[size_t(used)] = true;
            Kind &kind = m_kinds[size_t(m_ops[size_t(used)].kind)];
            kind.positions[size_t(kind.count++)] = used;
            ++used;
        }
        m_used = used;
    }

    int m_column = std::numeric_limits<int>::min();
    int m_used = 0;
    std::array<DrawOp, capacity> m_ops;
    std::array<bool, capacity> m_alive{};
    std::array<Kind, kinds> m_kinds;
};

} // namespace

// One task row while the events of its node are turned into primitives.
struct ChartRenderer::RowOps
{
    const ViewItem *item = nullptr;
    int y0 = 0; // row top, viewport pixels
    int id = 0;
    bool kernel = false;
    bool afterSwitch = true;
    OpColumn column;
    std::vector<DrawOp> ops;
};

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
    case DrawOp::Bar: {
        const QRect rect(QPoint(p[0], p[1]), QPoint(p[2], p[3]));
        const int variant = p[4];
        if (settings.gradientBars) {
            // All bars of a row share their top and bottom: one gradient per variant and row.
            if (m_brushTop != p[1] || m_brushBottom != p[3]) {
                for (int v = 0; v < 3; ++v) {
                    QLinearGradient gradient(0, p[1], 0, p[3]);
                    gradient.setColorAt(0.0, QColor(gradientStops[v][0]));
                    gradient.setColorAt(0.25, QColor(gradientStops[v][1]));
                    gradient.setColorAt(0.5, QColor(gradientStops[v][2]));
                    gradient.setColorAt(1.0, QColor(gradientStops[v][3]));
                    m_barBrushes[size_t(v)] = QBrush(gradient);
                }
                m_brushTop = p[1];
                m_brushBottom = p[3];
            }
            m_painter.fillRect(rect, m_barBrushes[size_t(variant)]);
        } else {
            m_painter.fillRect(rect, QColor(flatFills[variant]));
        }
        m_painter.setPen(m_pass.black);
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawRect(rect);
        break;
    }
    case DrawOp::Connector:
        m_painter.setPen(m_pass.black);
        m_painter.drawLine(p[0], p[1], p[2], p[3]);
        break;
    case DrawOp::SyncMarker:
    case DrawOp::UserMarker: {
        const int x = p[0];
        const bool sync = op.kind == DrawOp::SyncMarker;
        const QColor colour = sync ? settings.syncMarkerColor : settings.userMarkerColor;
        if (!sync)
            m_painter.drawPixmap(x - 1, m_group.top(), m_renderer.m_userMarkerIcon);
        m_painter.setPen(sync ? m_pass.syncPen : m_pass.userPen);
        m_painter.drawLine(x, m_group.top() + 18, x, m_group.bottom() + 1);
        if (sync && settings.showSyncMarkerIcons)
            m_painter.drawPixmap(x - 8, m_group.top(), m_renderer.markerIcon(p[1]));
        m_painter.fillRect(x - 2, m_group.top() + 18 - 5, 5, 5, colour);
        m_painter.fillRect(x - 2, m_group.bottom() + 2, 5, 5, colour);
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
        m_painter.setPen(send ? m_pass.transmitPen : m_pass.receivePen);
        m_painter.drawLine(from, to);
        m_painter.setPen(send ? m_pass.transmitHeadPen : m_pass.receiveHeadPen);
        m_painter.drawLine(QPoint(x - 4, headY), to);
        m_painter.drawLine(QPoint(x + 4, headY), to);
        m_painter.fillRect(x - 7, hy + 5, 14, 8, send ? settings.transmitColor : settings.receiveColor);
        break;
    }
    case DrawOp::PacketArrow: {
        const QPoint from(p[0], p[1]);
        const QPoint to(p[2], p[3]);
        m_painter.setPen(m_pass.syncPen);
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

void ChartRenderer::setSettings(const ChartSettings &settings)
{
    m_settings = settings;
}

const QPixmap &ChartRenderer::markerIcon(int type)
{
    auto found = m_markerIcons.find(type);
    if (found == m_markerIcons.end()) {
        const QString path = theTracer ? theTracer->sysEvent(type).iconPath : QString();
        found = m_markerIcons.insert(type, path.isEmpty() ? QPixmap() : opaqueIcon(path));
    }
    return *found;
}

void ChartRenderer::paint(QPainter &painter, ViewRoot &root, NodeViewStates &states, const QRect &clip,
                          const Frame &frame)
{
    Q_ASSERT(frame.scale);
    Pass pass{frame, root, states, ChartGeometry{}, !frame.externalHeader, {}, {}, {}, {}, {}, {}, {}, {}};
    pass.geometry.scale = frame.scale->scale();
    pass.geometry.horizontalScroll = frame.horizontalScroll;
    pass.geometry.verticalScroll = frame.verticalScroll;
    pass.geometry.rowHeight = H;
    pass.geometry.logMode = frame.scale->logMode();
    pass.geometry.surface = frame.viewport;
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
    paintItem(&root, painter, shiftedClip, 0, pass);
    paintItem(&root, painter, shiftedClip, 1, pass);

    if (frame.externalHeader) {
        painter.setWindow(0, 0, frame.viewport.width(), frame.viewport.height());
        paintHeader(&root, painter, pass);
    }
    painter.restore();
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
    const TimeScale &scale = *state.frame.scale;
    const int h = state.frame.horizontalScroll;
    if (current && count > 0) {
        // The events the event list does not show are hatched over.
        painter.setPen(Qt::gray);
        painter.setBrush(QBrush(Qt::gray, Qt::BDiagPattern));
        if (record.listFirst > 0 && record.listFirst < count && record.listFirst - 1 > 0)
            painter.drawRect(selectionRect(0, record.listFirst - 1, *node, nodeRect, scale, h));
        int after = record.listLast + 1;
        if (after >= count || record.listLast < 0)
            after = count - 1;
        painter.drawRect(selectionRect(after, count - 1, *node, nodeRect, scale, h));
        painter.setBrush(Qt::NoBrush);
    }
    if (record.selFirst >= 0 && record.selLast >= 0) {
        const QRect selection = selectionRect(record.selFirst, record.selLast, *node, nodeRect, scale, h);
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
                                   const TimeScale &scale, int horizontalScroll) const
{
    const Node *model = node.node();
    const TraceEvent *ea = model ? model->event(a) : nullptr;
    const TraceEvent *eb = model ? model->event(b) : nullptr;
    if (!ea || !eb)
        return QRect();
    const int xa = scale.leftX(*ea, node.shift(), horizontalScroll);
    const int xb = scale.leftX(*eb, node.shift(), horizontalScroll);
    const auto scaled = [&scale](const TraceEvent &e) {
        return scale.logMode() ? int(e.logDuration * scale.logScale())
                               : int(float(e.duration) * scale.linScale());
    };
    const int width = (xa < xb ? scaled(*eb) : scaled(*ea)) + qAbs(xb - xa) + 1;
    return QRect(qMin(xa, xb), nodeRect.top() + H, width, nodeRect.height() - H);
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

    const TimeScale &scale = *state.frame.scale;
    const float s = scale.scale();
    const bool logMode = scale.logMode();
    const int h = state.frame.horizontalScroll;
    const int count = node->eventCount();
    const std::vector<TraceEvent> &events = node->events();

    const int first = ViewRoot::firstEventAt(n, int(float(-item->rect().left()) / s), logMode);
    record.chartFirst = first;
    if (first < 0) {
        // Scrolled past the node's last event: nothing of it is in view.
        record.chartEnd = 0;
        return;
    }
    // The visible right edge in the node's own time. The shift counts in
    // linear mode: a node aligned to the left would otherwise lose the bars
    // at the right edge.
    const float limit = float(visible.right() + h) / s - (logMode ? 0.0f : float(n->shift()));

    // Every task row of a node visits the same span: find its end once.
    Pass::Span &span = state.span;
    if (span.node != node || span.first != first || span.limit != limit) {
        int end = first;
        while (end < count &&
               (logMode ? events[size_t(end)].logPosition : float(events[size_t(end)].offset)) <= limit)
            ++end;
        span = Pass::Span{node, first, limit, end, {}};
        if (m_levelOfDetail)
            collectNodeOps(*n, first, end, state);
    }
    record.chartEnd = span.end;

    OpPainter out(*this, painter, state, n->taskTrain() ? n->taskTrain()->rect() : QRect());
    if (m_levelOfDetail) {
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
    for (int i = first; i < span.end; ++i) {
        if (events[size_t(i)].currentTask == row.id)
            eventOps(i, *n, row, state, [&out](int, const DrawOp &op) { out.draw(op); });
    }
}

void ChartRenderer::collectNodeOps(const ViewNode &n, int first, int end, Pass &state)
{
    // One pass over the node's events in file order, each event going to its
    // task's row: reading the events in order costs far less than each row
    // picking out its own events scattered over memory.
    std::vector<RowOps> &rows = state.span.rows;
    const ViewTaskTrain *train = n.taskTrain();
    if (!train)
        return;
    rows.resize(size_t(train->childCount()));
    QHash<int, RowOps *> byTask;
    for (int k = 0; k < train->childCount(); ++k) {
        const auto *row = static_cast<const ViewTask *>(train->child(k));
        RowOps &ops = rows[size_t(k)];
        ops.item = row;
        ops.y0 = row->row() * H - state.frame.verticalScroll;
        ops.id = row->itemId();
        ops.kernel = row->task() && row->task()->role() == Task::KERNEL;
        byTask.insert(ops.id, &ops);
    }
    const std::vector<TraceEvent> &events = n.node()->events();
    int lastTask = std::numeric_limits<int>::min();
    RowOps *row = nullptr;
    for (int i = first; i < end; ++i) {
        const int task = events[size_t(i)].currentTask;
        if (task != lastTask) {
            row = byTask.value(task);
            lastTask = task;
        }
        if (row)
            eventOps(i, n, *row, state,
                     [row](int column, const DrawOp &op) { row->column.add(column, op, row->ops); });
    }
    for (RowOps &r : rows)
        r.column.flush(r.ops);
}

template<typename Emit>
void ChartRenderer::eventOps(int i, const ViewNode &n, RowOps &row, Pass &state, Emit &&sink)
{
    const Node *node = n.node();
    const std::vector<TraceEvent> &events = node->events();
    const TraceEvent &e = events[size_t(i)];
    const TimeScale &scale = *state.frame.scale;
    const int h = state.frame.horizontalScroll;
    const int v = state.frame.verticalScroll;
    const int y0 = row.y0;
    const int y1 = y0 + H;
    const int lx = scale.leftX(e, n.shift(), h);
    const auto bar = [&](int variant) {
        DrawOp op;
        op.kind = DrawOp::Bar;
        op.p = {lx, y0 + 1, scale.rightX(e, n.shift(), h), y1 - 2, variant, 0};
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
    const int code = service == node->services().cend() ? 255 : service->code;
    if (code != 7 && code != 9)
        return;
    auto *hubNode = static_cast<ViewNode *>(state.root.childById(e.nodeId));
    const ViewItem *hubRow =
        hubNode && hubNode->hubTrain() ? hubNode->hubTrain()->childById(e.arg2) : nullptr;
    if (!hubRow)
        return;
    const float d = scale.logMode() ? e.logDuration : float(e.duration);
    DrawOp op;
    op.kind = DrawOp::HubArrow;
    op.p = {lx + int(scale.scale() * d * 0.5f),     y0 + 1, y1 - 2, hubRow->row() * H - v, code == 7 ? 1 : 0,
            state.root.isAbove(&n, hubNode) ? 1 : 0};
    sink(lx, op);
}

template<typename Emit>
void ChartRenderer::packetArrowOps(const TraceEvent &e, const ViewNode &n, Pass &state, Emit &&sink)
{
    const quint32 key = quint32(e.nodeId) << 16 | quint32(e.arg2 & 0xffff);
    const int hop = e.arg2 >> 16;
    const QVector<NodePacketRef> refs = state.root.packetEvents(key);
    const TimeScale &scale = *state.frame.scale;
    const int h = state.frame.horizontalScroll;
    const int nodeId = n.node()->nodeId();
    for (const PacketArrow &arrow : packetArrows(PaintedPacketEvent{nodeId, e.type, hop}, refs)) {
        auto *partner = static_cast<ViewNode *>(state.root.childById(arrow.nodeId));
        const TraceEvent *pe =
            partner && partner->node() ? partner->node()->event(arrow.eventIndex) : nullptr;
        if (!pe || !partner->taskTrain())
            continue;
        // Both ends carry their node's shift, in both modes.
        const auto leftX = [&scale, h](const TraceEvent &event, int shift) {
            return scale.logMode() ? int((event.logPosition + float(shift)) * scale.logScale() - float(h))
                                   : scale.leftX(event, shift, h);
        };
        const int px = leftX(*pe, partner->shift());
        const int ex = leftX(e, n.shift());
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
