#include "chart/viewroot.h"

#include "chart/chartmapper.h"
#include "chart/packetarrowtable.h"
#include "chart/packetkeyindex.h"
#include "trace/node.h"

#include <QPair>

#include <algorithm>
#include <limits>
#include <memory>
#include <unordered_map>
#include <utility>

namespace {

// The clock alignment computes in 32-bit integers like the times it works on.
// These wrap on overflow as the machine does, where signed int arithmetic would
// leave it undefined: a poor estimate may grow large but never breaks the program.
qint32 plus(qint32 x, qint32 y)
{
    return qint32(quint32(x) + quint32(y));
}

qint32 minus(qint32 x, qint32 y)
{
    return qint32(quint32(x) - quint32(y));
}

qint32 times(qint32 x, qint32 y)
{
    return qint32(quint32(x) * quint32(y));
}

// Microseconds from `from` to `to` on a node's linear axis.
qint32 distance(const TraceEvent *from, const TraceEvent *to)
{
    return qint32(to->offset - from->offset);
}

// A real chart coordinate as an int, truncated toward zero; values beyond the
// int range (from absurd shifts) stop at its ends.
int truncated(double value)
{
    return int(
        qBound(double(std::numeric_limits<int>::min()), value, double(std::numeric_limits<int>::max())));
}

// One node's part in a packet: the event it logged on the way (sending,
// routing or receiving) and that event's notification.
struct Hop
{
    const TraceEvent *outgoing = nullptr;
    const TraceEvent *notification = nullptr;
    qint32 type = 0; // type of the outgoing event: 4, 5 or 6

    qint32 span() const { return distance(outgoing, notification); }
};

// The node's hop for a packet key. Of several entries of one sign the one read
// earliest from the file counts. A key with a sync marker, or without both an
// event and a notification on this node, is of no use for the alignment.
bool hopOf(const Node *node, quint32 key, Hop *hop)
{
    const PacketRef *outgoing = nullptr;
    const PacketRef *notification = nullptr;
    const auto range = node->packetRefs().equal_range(key);
    for (auto it = range.first; it != range.second; ++it) {
        const PacketRef &ref = it.value();
        if (ref.type == EventType::SyncMarker)
            return false;
        if (ref.type > 0 && (!outgoing || ref.eventIndex < outgoing->eventIndex))
            outgoing = &ref;
        else if (ref.type < 0 && (!notification || ref.eventIndex < notification->eventIndex))
            notification = &ref;
    }
    if (!outgoing || !notification)
        return false;
    hop->outgoing = node->event(outgoing->eventIndex);
    hop->notification = node->event(notification->eventIndex);
    hop->type = outgoing->type;
    return hop->outgoing && hop->notification;
}

// A node's usable hops by ascending key: hash order changes from run to run,
// and taking the keys in ascending order makes every estimate the same each time.
struct KeyHop
{
    quint32 key = 0;
    Hop hop;
};
using HopList = std::vector<KeyHop>;

HopList usableHops(const Node *node)
{
    HopList hops;
    hops.reserve(size_t(node->packetKeys().size()));
    for (const quint32 key : node->packetKeys()) {
        Hop hop;
        if (hopOf(node, key, &hop))
            hops.push_back({key, hop});
    }
    std::sort(hops.begin(), hops.end(), [](const KeyHop &x, const KeyHop &y) { return x.key < y.key; });
    return hops;
}

// The clock offset of node b against node a, from the packets both logged
// usefully, taken in ascending key order. Microseconds.
class OffsetEstimate
{
public:
    void add(const Hop &hopA, const Hop &hopB)
    {
        // The hop with the smaller event type (sending 4, routing 5,
        // receiving 6) is the earlier one: P; the later one is Q.
        const bool bEarlier = hopB.type <= hopA.type;
        const Hop &p = bEarlier ? hopB : hopA;
        const Hop &q = bEarlier ? hopA : hopB;
        const qint32 g = bEarlier ? m_sa * m_sb : -m_sa * m_sb;
        const qint32 d1 = p.span();
        const qint32 d2 = q.span();
        const qint32 outgoingGap = distance(p.outgoing, q.outgoing);
        if (m_first) {
            m_lo = minus(d1, d2) / 2;
            m_hi = outgoingGap;
            m_sa = m_hi < 0 ? -1 : 1;
            m_sb = hopA.outgoing->offset >= hopB.outgoing->offset ? 1 : -1;
            m_firstBEarlier = bEarlier;
            m_first = false;
            return;
        }
        // v: how long after P's outgoing event Q's begins on the axis aligned
        // so far. A packet cannot arrive before it left (v < 0), nor end after
        // its sender finished (d2 + v > d1). The estimate is hi - lo taken in
        // the first packet's direction, so moving Q later raises lo for a
        // packet going that way and lowers it for one going back; applying
        // both corrections with one sign, whatever the direction, runs away on
        // real traces (each packet doubled the error of the one before).
        const qint32 direction = bEarlier == m_firstBEarlier ? 1 : -1;
        const qint32 v = minus(outgoingGap, times(minus(m_hi, m_lo), g));
        if (v < 0)
            m_lo = minus(m_lo, times(v, direction));
        if (plus(d2, v) > d1)
            m_lo = plus(m_lo, times(minus(minus(d1, d2), v), direction));
    }

    qint32 offset() const { return times(times(minus(m_hi, m_lo), m_sa), m_sb); }

private:
    // lo corrects the first packet's estimate from the later ones; hi is the
    // distance of the two hops' events in the first packet. Microseconds.
    qint32 m_lo = 0;
    qint32 m_hi = 0;
    qint32 m_sa = 1;
    qint32 m_sb = 1;
    bool m_first = true;
    bool m_firstBEarlier = false;
};

// One walk over both lists at once: the keys they share, in ascending order.
int estimateOffset(const HopList &a, const HopList &b)
{
    OffsetEstimate estimate;
    auto other = b.cbegin();
    for (const KeyHop &x : a) {
        while (other != b.cend() && other->key < x.key)
            ++other;
        if (other == b.cend())
            break;
        if (other->key == x.key)
            estimate.add(x.hop, other->hop);
    }
    return estimate.offset();
}

// Where a node row ends on the linear axis: its last event plus its shift, microseconds.
qint64 linearEnd(const ViewNode &row)
{
    const Node *node = row.node();
    const qint64 last = node && node->eventCount() > 0 ? node->events().back().offset : 0;
    return last + row.shift();
}

ViewItem *itemAtRowBelow(const ViewItem *item, int row)
{
    for (int i = 0; i < item->childCount(); ++i) {
        ViewItem *child = item->child(i);
        if (!child)
            continue;
        if (child->row() == row)
            return child;
        if (child->isExpanded()) {
            if (ViewItem *found = itemAtRowBelow(child, row))
                return found;
        }
    }
    return nullptr;
}

} // namespace

// What the view derives from its nodes' packets and keeps while its node set
// stays: each row's hops, each pair's offset, and the packet index.
struct ViewRoot::Caches
{
    std::unordered_map<const ViewNode *, HopList> hops;
    QHash<QPair<const ViewNode *, const ViewNode *>, int> offsets;

    // Every viewed node's packet events, sorted by key, then row, then newest
    // first; keys[i] is the key of refs[i]. With one row they are that row's
    // own index, held in `single`: a copy would cost a view of one huge node
    // megabytes of fresh memory before its first paint.
    std::vector<quint32> keys;
    std::vector<NodePacketRef> refs;
    std::shared_ptr<const PacketKeyIndex> single;
    const std::vector<quint32> &indexKeys() const { return single ? single->keys() : keys; }
    const std::vector<NodePacketRef> &indexRefs() const { return single ? single->refs() : refs; }
    std::vector<const Node *> indexedNodes; // row by row, as the index was built
    bool indexStale = true;
    // By row, built from the index when a paint first asks.
    std::unordered_map<const ViewNode *, PacketArrowTable> arrowTables;

    const HopList &hopsOf(const ViewNode *row)
    {
        auto it = hops.find(row);
        if (it == hops.end())
            it = hops.emplace(row, usableHops(row->node())).first;
        return it->second;
    }

    void forget(const ViewNode *row)
    {
        hops.erase(row);
        for (auto it = offsets.begin(); it != offsets.end();)
            it = it.key().first == row || it.key().second == row ? offsets.erase(it) : std::next(it);
        indexStale = true;
    }

    // A node destroyed under its row leaves a null where the index has a node.
    bool indexCurrent(const std::vector<QSharedPointer<ViewNode>> &rows) const
    {
        if (indexStale || indexedNodes.size() != rows.size())
            return false;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (indexedNodes[i] != rows[i]->node())
                return false;
        }
        return true;
    }

    void indexPackets(const std::vector<QSharedPointer<ViewNode>> &rows);
};

void ViewRoot::Caches::indexPackets(const std::vector<QSharedPointer<ViewNode>> &rows)
{
    indexedNodes.clear();
    arrowTables.clear();
    keys.clear();
    refs.clear();
    single.reset();
    if (rows.size() == 1 && rows.front()->node()) {
        indexedNodes.push_back(rows.front()->node());
        single = PacketKeyIndex::shared(*rows.front()->node());
        indexStale = false;
        return;
    }
    // Every row's sorted index merged in one pass, straight into the storage
    // the last index left: equal keys keep the earlier rows first. Merged a
    // row at a time, the refs of eight nodes were copied four times over,
    // each time into fresh memory the system must first hand out.
    struct Head
    {
        const PacketKeyIndex *index = nullptr;
        size_t at = 0;
        size_t row = 0;
        quint32 key() const { return index->keys()[at]; }
    };
    std::vector<Head> heads;
    size_t total = 0;
    for (const QSharedPointer<ViewNode> &row : rows) {
        const Node *node = row->node();
        indexedNodes.push_back(node);
        if (!node || row->packetKeyIndex().keys().empty())
            continue;
        heads.push_back(Head{&row->packetKeyIndex(), 0, heads.size()});
        total += heads.back().index->keys().size();
    }
    keys.reserve(total);
    refs.reserve(total);
    // A min-heap of the rows' next keys, the earlier row first among equals.
    const auto later = [](const Head &x, const Head &y) {
        return x.key() != y.key() ? x.key() > y.key() : x.row > y.row;
    };
    std::make_heap(heads.begin(), heads.end(), later);
    while (!heads.empty()) {
        std::pop_heap(heads.begin(), heads.end(), later);
        Head &next = heads.back();
        keys.push_back(next.key());
        refs.push_back(next.index->refs()[next.at]);
        if (++next.at < next.index->keys().size())
            std::push_heap(heads.begin(), heads.end(), later);
        else
            heads.pop_back();
    }
    indexStale = false;
}

ViewRoot::ViewRoot(ViewItem *parent)
    : QObject(nullptr)
    , ViewItem(ROOT_ITEM, 0, parent)
    , m_caches(std::make_unique<Caches>())
{}

ViewRoot::~ViewRoot() = default;

Node *ViewRoot::currentNode() const
{
    return m_currentNode.data();
}

void ViewRoot::setCurrentNode(Node *node)
{
    m_currentNode = node;
}

ViewItem *ViewRoot::child(int i) const
{
    if (i < 0 || i >= int(m_nodes.size()))
        return nullptr;
    return m_nodes[size_t(i)].data();
}

ViewItem *ViewRoot::childById(int nodeId) const
{
    const auto it = m_indexById.constFind(nodeId);
    return it == m_indexById.cend() ? nullptr : child(it.value());
}

int ViewRoot::childCount() const
{
    return int(m_nodes.size());
}

void ViewRoot::addChild(ViewItem *item)
{
    auto *row = dynamic_cast<ViewNode *>(item);
    if (!row)
        return;
    row->setParent(this);
    row->setIndex(int(m_nodes.size()));
    m_nodes.push_back(QSharedPointer<ViewNode>(row));
    m_nodeList.append(row);
    m_indexById.insert(row->itemId(), row->index());
    m_caches->indexStale = true;
}

void ViewRoot::removeChild(int i)
{
    if (i < 0 || i >= int(m_nodes.size()))
        return;
    const QSharedPointer<ViewNode> row = m_nodes[size_t(i)];
    m_caches->forget(row.data());
    m_nodes.erase(m_nodes.begin() + i);
    m_nodeList.removeOne(row.data());
    renumberNodes();
}

void ViewRoot::renumberNodes()
{
    m_indexById.clear();
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        m_nodes[i]->setIndex(int(i));
        m_indexById.insert(m_nodes[i]->itemId(), int(i));
    }
}

void ViewRoot::addViewedNode(Node *node)
{
    if (!node)
        return;
    addChild(new ViewNode(node->nodeId(), node, this));
    alignNodes();
    numberRows(this, 0);
}

void ViewRoot::removeViewedNode(Node *node)
{
    if (node) {
        for (size_t i = 0; i < m_nodes.size(); ++i) {
            if (m_nodes[i]->itemId() == node->nodeId() && m_nodes[i]->node()) {
                removeChild(int(i));
                break;
            }
        }
    }
    alignNodes();
    numberRows(this, 0);
}

int ViewRoot::numberRows(ViewItem *item, int first)
{
    if (!item)
        return first;
    item->setRow(first);
    int next = first + 1;
    if (item->isExpanded()) {
        for (int i = 0; i < item->childCount(); ++i)
            next = numberRows(item->child(i), next);
    }
    return next;
}

int ViewRoot::visibleRowCount(const ViewItem *item)
{
    if (!item)
        return 0;
    int count = 0;
    for (int i = 0; i < item->childCount(); ++i) {
        const ViewItem *child = item->child(i);
        if (!child)
            continue;
        count += 1;
        if (child->isExpanded())
            count += visibleRowCount(child);
    }
    return count;
}

ViewItem *ViewRoot::itemAtRow(int row) const
{
    if (this->row() == row)
        return const_cast<ViewRoot *>(this);
    return isExpanded() ? itemAtRowBelow(this, row) : nullptr;
}

bool ViewRoot::isAbove(const ViewNode *a, const ViewNode *b) const
{
    return m_nodeList.indexOf(a) <= m_nodeList.indexOf(b);
}

PacketEventRange ViewRoot::packetEvents(quint32 key) const
{
    size_t cursor = 0;
    return packetEvents(key, cursor);
}

PacketEventRange ViewRoot::packetEvents(quint32 key, size_t &cursor) const
{
    if (!m_caches->indexCurrent(m_nodes))
        m_caches->indexPackets(m_nodes);
    const std::vector<quint32> &keys = m_caches->indexKeys();
    // Galloping: the next key asked for usually lies a few entries on.
    size_t below = qMin(cursor, keys.size());
    size_t step = 1;
    while (below + step < keys.size() && keys[below + step] < key) {
        below += step;
        step *= 2;
    }
    const auto last = keys.cbegin() + std::ptrdiff_t(qMin(below + step + 1, keys.size()));
    const auto first = std::lower_bound(keys.cbegin() + std::ptrdiff_t(below), last, key);
    auto end = first;
    while (end != keys.cend() && *end == key)
        ++end;
    cursor = size_t(first - keys.cbegin());
    const NodePacketRef *refs = m_caches->indexRefs().data();
    return PacketEventRange(refs + (first - keys.cbegin()), refs + (end - keys.cbegin()));
}

const PacketArrowTable &ViewRoot::packetArrowsOf(const ViewNode &row) const
{
    if (!m_caches->indexCurrent(m_nodes))
        m_caches->indexPackets(m_nodes);
    auto found = m_caches->arrowTables.find(&row);
    if (found == m_caches->arrowTables.end())
        found = m_caches->arrowTables.emplace(&row, PacketArrowTable(*this, row)).first;
    return found->second;
}

int ViewRoot::pairOffset(const ViewNode *a, const ViewNode *b) const
{
    if (m_nodes.size() < 2 || !a || !b || !a->node() || !b->node())
        return 0;
    return estimateOffset(usableHops(a->node()), usableHops(b->node()));
}

int ViewRoot::cachedPairOffset(const ViewNode *a, const ViewNode *b) const
{
    if (!a->node() || !b->node())
        return 0;
    const auto pair = qMakePair(a, b);
    const auto known = m_caches->offsets.constFind(pair);
    if (known != m_caches->offsets.cend())
        return known.value();
    const int offset = estimateOffset(m_caches->hopsOf(a), m_caches->hopsOf(b));
    m_caches->offsets.insert(pair, offset);
    return offset;
}

void ViewRoot::alignNodes()
{
    const size_t n = m_nodes.size();
    if (n == 0)
        return;
    std::vector<std::vector<int>> offsets(n, std::vector<int>(n, 0));
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = i + 1; j < n; ++j) {
            offsets[i][j] = cachedPairOffset(m_nodes[i].data(), m_nodes[j].data());
            offsets[j][i] = minus(0, offsets[i][j]);
        }
    }
    // The reference node is the one whose row holds the greatest offset.
    size_t reference = 0;
    int greatest = 0;
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < n; ++j) {
            if (offsets[i][j] > greatest) {
                greatest = offsets[i][j];
                reference = i;
            }
        }
    }
    for (size_t k = 0; k < n; ++k) {
        m_nodes[k]->setShift(offsets[reference][k]);
        m_nodes[k]->setBaseShift(offsets[reference][k]);
    }
    updateLength();
}

void ViewRoot::updateLength()
{
    const ViewNode *longest = nullptr;
    qint64 end = 0;
    for (const QSharedPointer<ViewNode> &row : m_nodes) {
        const qint64 rowEnd = linearEnd(*row);
        if (!longest || rowEnd > end) {
            longest = row.data();
            end = rowEnd;
        }
    }
    if (!longest)
        return;
    m_lengthLin = truncated(double(end));
    const Node *node = longest->node();
    const float lastLog = node && node->eventCount() > 0 ? node->events().back().logPosition : 0.0f;
    m_lengthLog = truncated(double(lastLog + float(longest->shift())));
}

void ViewRoot::recomputeExtent()
{
    if (m_nodes.empty())
        return;
    int smallest = m_nodes.front()->shift();
    for (const QSharedPointer<ViewNode> &row : m_nodes)
        smallest = std::min(smallest, row->shift());
    for (const QSharedPointer<ViewNode> &row : m_nodes)
        row->setShift(minus(row->shift(), smallest));
    updateLength();
}

void ViewRoot::resetShifts()
{
    for (const QSharedPointer<ViewNode> &row : m_nodes)
        row->setShift(row->baseShift());
}

QRect heldRect(qint64 left, int top, qint64 width, int height)
{
    constexpr qint64 limit = qint64(1) << 30;
    const qint64 right = qBound(-limit, left + width, limit);
    left = qBound(-limit, left, limit);
    return QRect(int(left), top, int(right - left), height);
}

QRect ViewRoot::itemRect(const ViewItem *item, const ChartGeometry &geometry) const
{
    if (!item)
        return QRect(QPoint(0, 0), geometry.surface);
    const ChartMapper mapper(geometry.scale, geometry.logMode, geometry.horizontalScroll);
    const int top = item->row() * geometry.rowHeight - geometry.verticalScroll;
    if (item->kind() == TASK_ITEM || item->kind() == HUB_ITEM) {
        // A task or hub row spans its node's events: from the node's first
        // event over its total time, shifted in linear mode.
        const ViewNode *row = item->viewNode();
        const Node *node = row ? row->node() : nullptr;
        if (!node)
            return heldRect(-qint64(geometry.horizontalScroll), top, 0, geometry.rowHeight);
        const quint32 length = geometry.logMode ? node->logLengthInt() : node->totalTime();
        return heldRect(mapper.rowLeft(*node, row->shift()), top, mapper.widthOf(float(length)),
                        geometry.rowHeight);
    }
    const int length = geometry.logMode ? m_lengthLog : m_lengthLin;
    return heldRect(-qint64(geometry.horizontalScroll), top, mapper.widthOf(float(length)),
                    (visibleRowCount(item) + 1) * geometry.rowHeight);
}
