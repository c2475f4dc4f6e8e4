#include "chart/levelofdetail.h"

#include "chart/packetarrowtable.h"
#include "chart/paintindex.h"
#include "chart/paintpass.h"
#include "trace/node.h"
#include "trace/task.h"

#include <QHash>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <tuple>
#include <unordered_map>

namespace {

using RowOps = LevelOfDetail::RowOps;

// One backwards pass over the events of a node (see LevelOfDetail). Local to
// this file, so that its steps are compiled into the loop that runs them.
class NodePass
{
public:
    NodePass(const ViewNode &node, const PaintPass &pass, std::vector<RowOps> &rows, const ShownEvents &range,
             LevelOfDetail::Sets &sets);

    // Whether the events' positions never decrease, so that they are read a
    // pixel column at a time.
    bool ordered() const { return m_ordered; }
    // The x of the pixel column readColumn() reads next, right to left;
    // none once every column is read.
    static constexpr int done = std::numeric_limits<int>::min();
    int nextColumn() const { return m_nextX; }
    void readColumn();
    // Reads all the events, for a node whose positions may decrease.
    void readAll();

private:
    RowOps *rowOf(int task) const
    {
        if (!m_flat)
            return m_hashedRows.value(task);
        return task >= m_minId && task <= m_maxId ? m_flatRows[size_t(task - m_minId)] : nullptr;
    }
    // Where the events of the pixel column at x begin whose last event is i:
    // galloping from i - guess + 1 (guess: how many events the column may
    // hold, 0 for no guess), then by bisection.
    int columnStart(int i, int first, int x, int guess) const;
    // Finds the events of the pixel column [columnFirst, columnLast] that may
    // draw, latest first, into m_reads, and asks the memory for them: they are
    // few and far apart, and their reads overlap when asked for together.
    void gatherColumn(int columnFirst, int columnLast);
    // Adds event i of the column to m_reads unless it is hidden there.
    inline void consider(int i, int columnLast);
    // Turns event i, whose left x is x, into primitives of its row.
    void read(int i, int x, int first);
    // Whether event i draws nothing, hidden by a later primitive of the same
    // column, read before.
    bool hiddenInColumn(int i, int columnLast) const;
    // A bar, after a switch with the connector from the task before; built
    // here without the general path.
    void addBar(int i, int x, RowOps &row, int first);
    // Markers, hub arrows and packet arrows.
    void addSpecial(int i, RowOps &row, int first);
    // Adds a primitive read backwards unless a later one covers it: of the
    // row and column, or for markers and packet arrows an equal one of the
    // same or a later row.
    inline void add(RowOps &row, int column, const DrawOp &op);
    // Where the event's bar ends on the time axis: a later bar of the row and
    // column ending no earlier reaches at least as far right.
    double endOf(const TraceEvent &e) const
    {
        return m_logMode ? double(e.logPosition + e.logDuration) : double(qint64(e.offset) + e.duration);
    }

    const PaintPass &m_pass;
    const ChartMapper &m_mapper;
    const std::vector<TraceEvent> &m_events;
    const PaintIndex &m_index;
    const EventPrimitives m_primitives;
    const PacketArrowTable &m_packetArrows;
    const int m_shift;
    const bool m_logMode;
    // Positions never decreasing along the events (the usual case): the
    // events of one pixel column are found by bisection, and right x is
    // only computed where it can decide anything.
    const bool m_ordered;
    // Whole blocks of hidden events are skipped (see PaintIndex::hiddenRunStart).
    const bool m_skipBlocks;
    // Rows by task id: a flat table when the ids are few and close together
    // (they usually are), a hash otherwise.
    int m_minId = std::numeric_limits<int>::max();
    int m_maxId = std::numeric_limits<int>::min();
    bool m_flat = false;
    std::vector<RowOps *> m_flatRows;
    QHash<int, RowOps *> m_hashedRows;
    std::vector<DrawOp> m_eventOps;                   // one event's primitives on the general path
    std::vector<int> m_reads;                         // see gatherColumn()
    int m_lastTask = std::numeric_limits<int>::min(); // of the event read last, and its row
    RowOps *m_row = nullptr;
    const int m_first; // the events in view
    const int m_end;
    int m_columnLast; // the last event of the column read next, and its x
    int m_nextX = done;
    int m_guess = 0; // how many events the column read last held
    LevelOfDetail::Sets &m_sets;
};

NodePass::NodePass(const ViewNode &node, const PaintPass &pass, std::vector<RowOps> &rows,
                   const ShownEvents &range, LevelOfDetail::Sets &sets)
    : m_pass(pass)
    , m_mapper(pass.mapper)
    , m_events(node.node()->events())
    , m_index(node.paintIndex())
    , m_primitives(pass, node)
    , m_packetArrows(pass.root.packetArrowsOf(node))
    , m_shift(node.shift())
    , m_logMode(pass.mapper.logMode())
    , m_ordered(node.node()->inTimeOrder())
    , m_skipBlocks(m_ordered && m_index.pairsCollapse(m_mapper))
    , m_first(range.first)
    , m_end(range.end)
    , m_columnLast(range.end - 1)
    , m_sets(sets)
{
    if (m_ordered && m_columnLast >= m_first)
        m_nextX = m_mapper.leftX(m_events[size_t(m_columnLast)], m_shift);
    for (const RowOps &row : rows) {
        m_minId = qMin(m_minId, row.id);
        m_maxId = qMax(m_maxId, row.id);
    }
    m_flat = !rows.empty() && qint64(m_maxId) - m_minId < 4096;
    m_flatRows.assign(m_flat ? size_t(m_maxId - m_minId + 1) : 0, nullptr);
    for (RowOps &row : rows) {
        if (m_flat)
            m_flatRows[size_t(row.id - m_minId)] = &row;
        else
            m_hashedRows.insert(row.id, &row);
    }
}

void NodePass::readAll()
{
    m_sets.markers.clear();
    for (int i = m_end - 1; i >= m_first; --i)
        read(i, m_mapper.leftX(m_events[size_t(i)], m_shift), m_first);
}

void NodePass::readColumn()
{
    const int x = m_nextX;
    // A busy node's columns hold about as many events as their neighbours.
    const int columnFirst = columnStart(m_columnLast, m_first, x, m_guess);
    m_guess = m_columnLast - columnFirst + 1;
    // Equal markers share their x, so their column: the set need only
    // hold this column's, and stays small enough to live in the cache.
    m_sets.markers.clear();
    gatherColumn(columnFirst, m_columnLast);
    for (const int i : m_reads)
        read(i, x, m_first);
    m_columnLast = columnFirst - 1;
    m_nextX = m_columnLast >= m_first ? m_mapper.leftX(m_events[size_t(m_columnLast)], m_shift) : done;
}

void NodePass::gatherColumn(int columnFirst, int columnLast)
{
    m_reads.clear();
    constexpr int block = PaintIndex::survivorBlock;
    for (int i = columnLast; i >= columnFirst;) {
        if (m_skipBlocks) {
            const int start = m_index.hiddenRunStart(i, columnFirst, columnLast);
            if (start <= i) {
                i = start - 1;
                continue;
            }
            // A whole block in the column: only its survivors can draw.
            if (i % block == block - 1 && i - (block - 1) >= columnFirst) {
                const int base = i - (block - 1);
                for (std::uint64_t left = m_index.blockSurvivors(i / block, columnLast); left != 0;) {
                    const int bit = 63 - __builtin_clzll(left);
                    left &= ~(std::uint64_t(1) << bit);
                    consider(base + bit, columnLast);
                }
                i = base - 1;
                continue;
            }
        }
        consider(i, columnLast);
        --i;
    }
}

void NodePass::consider(int i, int columnLast)
{
    if (hiddenInColumn(i, columnLast))
        return;
    m_reads.push_back(i);
    // The fields read span up to two cache lines.
    const char *event = reinterpret_cast<const char *>(&m_events[size_t(i)]);
    __builtin_prefetch(event);
    __builtin_prefetch(event + offsetof(TraceEvent, currentTask));
    m_index.prefetch(i);
}

void NodePass::read(int i, int x, int first)
{
    const TraceEvent &e = m_events[size_t(i)];
    if (e.currentTask != m_lastTask) {
        m_row = rowOf(e.currentTask);
        m_lastTask = e.currentTask;
    }
    if (!m_row || !m_row->painted)
        return;
    if (m_index.special(i))
        addSpecial(i, *m_row, first);
    else
        addBar(i, x, *m_row, first);
}

int NodePass::columnStart(int i, int first, int x, int guess) const
{
    const auto inColumn = [this, x](int k) { return m_mapper.leftX(m_events[size_t(k)], m_shift) == x; };
    int inside = i;          // known to be in the column
    int outside = first - 1; // known to be left of it
    const int from = i - guess + 1;
    if (from >= first && from < i)
        (inColumn(from) ? inside : outside) = from;
    if (outside < first) {
        for (int step = 1; inside - step >= first; step *= 2) {
            if (!inColumn(inside - step)) {
                outside = inside - step;
                break;
            }
            inside -= step;
        }
    } else {
        for (int step = 1; outside + step < inside; step *= 2) {
            if (inColumn(outside + step)) {
                inside = outside + step;
                break;
            }
            outside += step;
        }
    }
    int lo = outside + 1;
    int hi = inside;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (inColumn(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

bool NodePass::hiddenInColumn(int i, int columnLast) const
{
    if (m_index.mustShareColumn(i) > columnLast)
        return m_index.special(i) && m_packetArrows.drawnAgainLater(i, columnLast, m_mapper);
    if (m_skipBlocks)
        return true; // every pair collapses
    // A hub arrow stands right of its bar's left edge, half its event's
    // duration: zoomed out, both arrows of a pair stand on their bars' left
    // edge and neither event needs reading.
    const PaintIndex::ArrowPair *pair = m_index.arrowPair(i);
    return !pair || m_mapper.halfWidthOf(m_logMode ? pair->logarithmic : pair->linear) == 0 ||
           m_mapper.halfWidthOf(m_events[size_t(i)]) == m_mapper.halfWidthOf(m_events[size_t(pair->next)]);
}

void NodePass::addBar(int i, int x, RowOps &row, int first)
{
    const TraceEvent &e = m_events[size_t(i)];
    const bool switched = e.type == EventType::TaskSwitch;
    if (x != row.column) {
        row.column = x;
        row.widestBar = std::numeric_limits<int>::min();
        row.later.clear();
    }
    // Right x grows with the end time: an event that ends no later than the
    // row's widest later bar in this column is hidden by it (or, cut at the
    // surface's edge, shows nothing).
    const double endKey = endOf(e);
    const bool covered = row.widestBar != std::numeric_limits<int>::min() && endKey <= row.widestEnd;
    if (!covered) {
        DrawOp bar = EventPrimitives::bar(x, m_mapper.rightX(e, m_shift), row.y0, 0);
        if (m_pass.clampBar(bar) && bar.p[2] > row.widestBar) {
            row.widestBar = bar.p[2];
            row.widestEnd = endKey;
            if (!switched)
                bar.p[4] = m_index.barVariant(i, first);
            row.ops.push_back(bar);
        }
    }
    if (!switched || i == 0)
        return;
    if (const RowOps *previous = rowOf(m_events[size_t(i - 1)].currentTask))
        add(row, x, EventPrimitives::connector(x, previous->y0, row.y0));
}

void NodePass::addSpecial(int i, RowOps &row, int first)
{
    m_eventOps.clear();
    const int column = m_primitives.append(i, row, m_eventOps);
    const bool switched = m_events[size_t(i)].type == EventType::TaskSwitch;
    for (auto op = m_eventOps.rbegin(); op != m_eventOps.rend(); ++op) {
        // Read forwards, the literal drawing knows the bar's fill from the
        // events before; read backwards it comes from the index.
        if (op->kind == DrawOp::Bar && !switched)
            op->p[4] = m_index.barVariant(i, first);
        add(row, column, *op);
    }
}

void NodePass::add(RowOps &row, int column, const DrawOp &op)
{
    if (column != row.column) {
        row.column = column;
        row.widestBar = std::numeric_limits<int>::min();
        row.later.clear();
    }
    if (op.kind == DrawOp::Bar) {
        // Bars of one row and column share their left edge and height.
        if (row.widestBar >= op.p[2])
            return;
        row.widestBar = op.p[2];
        row.widestEnd = -std::numeric_limits<double>::infinity(); // unknown: no shortcut
    } else if (op.spansRows() && op.kind != DrawOp::Connector) {
        // Markers and arrows hide only their equals; rows are drawn in order.
        DrawOpSet &equals = m_sets.of(op, m_ordered);
        int previous = DrawOpSet::absent;
        if (!equals.raise(op, row.order, previous))
            return;
        // A row holds one copy of each: the earlier row's is now hidden.
        if (previous != DrawOpSet::absent)
            m_sets.superseded.push_back({previous, op});
    } else {
        for (const DrawOp &other : row.later) {
            if (op.hiddenBy(other))
                return;
        }
        row.later.push_back(op);
    }
    row.ops.push_back(op);
}

bool supersededBefore(const LevelOfDetail::Superseded &a, const LevelOfDetail::Superseded &b)
{
    return std::tie(a.first, a.second.kind, a.second.p) < std::tie(b.first, b.second.kind, b.second.p);
}

// Reads the columns of every pass in `passes`, right to left.
void readColumns(const std::vector<std::unique_ptr<NodePass>> &passes, DrawOpSet &columnArrows)
{
    // Every node's column x before any node's column left of it: a vertical
    // packet arrow stands in one column at both its ends, so its copies all
    // meet in a set that holds one column's and stays in the cache.
    int x = NodePass::done;
    for (;;) {
        NodePass *next = nullptr;
        for (const auto &nodePass : passes) {
            if (nodePass->nextColumn() != NodePass::done &&
                (!next || nodePass->nextColumn() > next->nextColumn()))
                next = nodePass.get();
        }
        if (!next)
            return;
        if (next->nextColumn() != x) {
            x = next->nextColumn();
            columnArrows.clear();
        }
        next->readColumn();
    }
}

} // namespace

DrawOpSet &LevelOfDetail::Sets::of(const DrawOp &op, bool byColumn)
{
    if (op.kind != DrawOp::PacketArrow)
        return markers;
    return byColumn && op.p[0] == op.p[2] ? columnArrows : arrows;
}

void LevelOfDetail::collect(const std::vector<NodeRange> &nodes, const PaintPass &pass)
{
    m_nodes.resize(nodes.size());
    int order = 0;
    for (size_t k = 0; k < nodes.size(); ++k) {
        resetRows(m_nodes[k], *nodes[k].node, pass, order);
        order += int(m_nodes[k].rows.size());
    }
    m_sets.arrows.clear();
    m_sets.superseded.clear();
    // Backwards, so that an arrow meets the later nodes' copies of it.
    std::vector<std::unique_ptr<NodePass>> passes;
    for (size_t k = nodes.size(); k-- > 0;) {
        if (!nodes[k].node->taskTrain())
            continue;
        auto nodePass =
            std::make_unique<NodePass>(*nodes[k].node, pass, m_nodes[k].rows, nodes[k].range, m_sets);
        if (nodePass->ordered())
            passes.push_back(std::move(nodePass));
        else
            nodePass->readAll();
    }
    readColumns(passes, m_sets.columnArrows);
    std::sort(m_sets.superseded.begin(), m_sets.superseded.end(), supersededBefore);
    for (NodeOps &ops : m_nodes) {
        for (RowOps &row : ops.rows)
            std::reverse(row.ops.begin(), row.ops.end());
        dropCoveredAcrossRows(ops.rows);
    }
}

const std::vector<DrawOp> &LevelOfDetail::opsOf(const ViewItem *row) const
{
    static const std::vector<DrawOp> none;
    const ViewNode *node = row->viewNode();
    for (const NodeOps &ops : m_nodes) {
        if (ops.node != node)
            continue;
        const auto found = std::find_if(ops.rows.cbegin(), ops.rows.cend(),
                                        [row](const RowOps &rowOps) { return rowOps.item == row; });
        return found == ops.rows.cend() ? none : found->ops;
    }
    return none;
}

void LevelOfDetail::resetRows(NodeOps &ops, const ViewNode &node, const PaintPass &pass, int order)
{
    ops.node = &node;
    const ViewTaskTrain *train = node.taskTrain();
    const int count = train ? train->childCount() : 0;
    ops.rows.resize(size_t(count));
    for (int k = 0; k < count; ++k) {
        const auto *task = static_cast<const ViewTask *>(train->child(k));
        RowOps &row = ops.rows[size_t(k)];
        // A fresh row that keeps the storage of the old one.
        RowOps fresh;
        fresh.ops = std::move(row.ops);
        fresh.ops.clear();
        fresh.later = std::move(row.later);
        fresh.later.clear();
        row = std::move(fresh);
        row.item = task;
        row.order = order + k;
        row.y0 = pass.rowTop(*task);
        row.id = task->itemId();
        row.kernel = task->task() && task->task()->role() == Task::KERNEL;
        // As the renderer decides whether to draw the row: a primitive only
        // a row left undrawn has would be missing from the picture.
        row.painted = task->task() && (pass.root.itemRect(task, pass.geometry) & pass.clip).isValid();
    }
}

void LevelOfDetail::dropCoveredAcrossRows(std::vector<RowOps> &rows)
{
    // Rows are drawn one after another, so a primitive that reaches over the
    // whole task group is hidden by an equal or covering one of a later row
    // just as by a later one of its own. Markers and packet arrows were
    // noted while collecting; connectors are judged walking the drawing
    // order backwards, remembering what is drawn later.
    std::unordered_map<int, std::vector<DrawOp>> connectors; // by column
    const auto hidden = [this, &connectors](const RowOps &row, const DrawOp &op) {
        if (!op.spansRows())
            return false;
        if (op.kind != DrawOp::Connector)
            return std::binary_search(m_sets.superseded.cbegin(), m_sets.superseded.cend(),
                                      Superseded{row.order, op}, supersededBefore);
        std::vector<DrawOp> &column = connectors[op.p[0]];
        if (std::any_of(column.cbegin(), column.cend(),
                        [&op](const DrawOp &other) { return op.hiddenBy(other); }))
            return true;
        column.push_back(op);
        return false;
    };
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        if (!row->painted)
            continue;
        // Kept ones move to the back, in order.
        std::vector<DrawOp> &ops = row->ops;
        size_t kept = ops.size();
        for (size_t k = ops.size(); k-- > 0;) {
            if (!hidden(*row, ops[k]))
                ops[--kept] = ops[k];
        }
        ops.erase(ops.begin(), ops.begin() + std::ptrdiff_t(kept));
    }
}
