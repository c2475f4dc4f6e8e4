#pragma once

#include "chart/chartmetrics.h"
#include "chart/packetkeyindex.h"
#include "chart/viewitem.h"
#include "trace/traceevent.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QVector>

#include <memory>
#include <vector>

class Node;
class PacketArrowTable;

// A packet's events on the viewed nodes, as ViewRoot::packetEvents() gives
// them: a view into the root's packet index, valid until its node set changes.
class PacketEventRange
{
public:
    PacketEventRange() = default;
    PacketEventRange(const NodePacketRef *first, const NodePacketRef *last)
        : m_first(first)
        , m_last(last)
    {}
    // Over a list that outlives the range.
    PacketEventRange(const QVector<NodePacketRef> &refs)
        : m_first(refs.constData())
        , m_last(refs.constData() + refs.size())
    {}

    const NodePacketRef *begin() const { return m_first; }
    const NodePacketRef *end() const { return m_last; }
    int size() const { return int(m_last - m_first); }
    bool isEmpty() const { return m_first == m_last; }

private:
    const NodePacketRef *m_first = nullptr;
    const NodePacketRef *m_last = nullptr;
};

// A rectangle whose left edge and width come from 64-bit pixel positions.
// Zoomed far in, a row or a selection reaches past the int range, and QRect
// keeps its right edge as left + width - 1 in int: both edges are held within
// 2^30 pixels of the origin, far beyond any surface.
QRect heldRect(qint64 left, int top, qint64 width, int height);

// What the chart's rectangles depend on at one paint.
struct ChartGeometry
{
    float scale = 1.0f;       // pixels per microsecond, or per logarithmic unit in logarithmic mode
    int horizontalScroll = 0; // pixels
    int verticalScroll = 0;   // pixels
    int rowHeight = ChartMetrics::rowHeight; // pixels
    bool logMode = false;
    QSize surface; // the drawing surface, the rectangle of a null item
};

// The rows of one view's event chart: a node row per viewed node, in the order
// the nodes were added. Also aligns the clocks of the viewed nodes from the
// packets they share and keeps the chart's total length.
class ViewRoot : public QObject, public ViewItem
{
    Q_OBJECT
public:
    explicit ViewRoot(ViewItem *parent = nullptr);
    ~ViewRoot() override;

    ViewItem *child(int i) const override;
    ViewItem *childById(int nodeId) const override;
    int childCount() const override;
    // Takes ownership of a ViewNode and appends it; other items are ignored.
    void addChild(ViewItem *item) override;
    void removeChild(int i) override;

    // Adds a row for the node with rows for its tasks and hubs, realigns and
    // renumbers. A null node is ignored.
    void addViewedNode(Node *node);
    // Drops the first row of the node; realigns and renumbers even when the node
    // has no row, so that dragged shifts return to their aligned values.
    void removeViewedNode(Node *node);

    // Gives `item` the row `first` and its visible subtree the rows after it,
    // depth first. Returns the next free row.
    static int numberRows(ViewItem *item, int first);
    // The number of rows below `item`.
    static int visibleRowCount(const ViewItem *item);
    // The item on chart row `row`; null when none.
    ViewItem *itemAtRow(int row) const;
    // Whether `a` is drawn at or above `b`; a node without a row counts as above all.
    bool isAbove(const ViewNode *a, const ViewNode *b) const;
    // The packet events with key `key` of every viewed node, node by node in
    // the order of nodes(); within a node the latest read comes first. Looked
    // up in an index built once per node set, as every painted packet asks.
    PacketEventRange packetEvents(quint32 key) const;
    // The same for keys asked in ascending order: `cursor` (0 before the
    // first) keeps where the last was found, and the search runs on from there.
    PacketEventRange packetEvents(quint32 key, size_t &cursor) const;
    // The arrows of the packet events of `row`, one of this view's rows:
    // resolved once per node set, as every paint draws them all.
    const PacketArrowTable &packetArrowsOf(const ViewNode &row) const;

    // Sets every node's shift and base shift from the packets the nodes share,
    // and the chart's length.
    void alignNodes();
    // Estimated clock offset of b against a in microseconds: what the alignment
    // adds to b's shift relative to a's. 0 without a packet both logged usefully.
    // alignNodes() keeps each pair's estimate while both rows stay, so that
    // adding a node costs in proportion to the packets it shares.
    int pairOffset(const ViewNode *a, const ViewNode *b) const;
    // Moves all shifts so that the leftmost node starts at 0, then sets the length.
    void recomputeExtent();
    // Undoes every drag: each shift returns to its base shift.
    void resetShifts();

    // The rectangle of `item` on the chart; a null item has the whole surface.
    QRect itemRect(const ViewItem *item, const ChartGeometry &geometry) const;

    const std::vector<QSharedPointer<ViewNode>> &nodes() const { return m_nodes; }
    const QList<ViewNode *> &nodeList() const { return m_nodeList; }
    const QHash<int, int> &indexById() const { return m_indexById; }
    int lengthLin() const { return m_lengthLin; } // microseconds
    int lengthLog() const { return m_lengthLog; } // logarithmic units
    // Null once the node is destroyed, even if nobody let go of it.
    Node *currentNode() const;
    // Does not notify; whoever changes the current node emits currentNodeWasChanged.
    void setCurrentNode(Node *node);

signals:
    void currentNodeWasChanged(Node *node);

private:
    struct Caches;

    void updateLength();
    void renumberNodes();
    int cachedPairOffset(const ViewNode *a, const ViewNode *b) const;

    std::vector<QSharedPointer<ViewNode>> m_nodes;
    QList<ViewNode *> m_nodeList;
    QHash<int, int> m_indexById;
    int m_lengthLin = 0;
    int m_lengthLog = 0;
    QPointer<Node> m_currentNode;
    std::unique_ptr<Caches> m_caches;
};
