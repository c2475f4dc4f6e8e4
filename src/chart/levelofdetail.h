#pragma once

#include "chart/chartmapper.h"
#include "chart/drawop.h"
#include "chart/drawopset.h"
#include "chart/eventprimitives.h"

#include <limits>
#include <utility>
#include <vector>

class ViewItem;
class ViewNode;
struct PaintPass;

// With level of detail on, the task rows of a node get their primitives in
// one pass over the node's events, each event going to its task's row:
// reading the events in order costs far less than each row picking out its
// own events scattered over memory. The pass runs backwards: a primitive that
// a later one of its row and pixel column covers is then dropped before it is
// ever built, and of the primitives drawn over the whole task group only the
// last of equal ones is kept. A packet arrow is drawn by the nodes at both
// its ends: of equal ones only the last node's is kept. The picture is the
// same pixel for pixel.
class LevelOfDetail
{
public:
    // A node whose task rows a paint draws, with its events in view, not empty.
    struct NodeRange
    {
        const ViewNode *node = nullptr;
        ShownEvents range;
    };
    // Collects the primitives of the task rows of `nodes`, given in the order
    // they are drawn, forgetting what was collected before.
    void collect(const std::vector<NodeRange> &nodes, const PaintPass &pass);
    // What was collected for task row `row`, in drawing order; nothing for a
    // row of a node not collected.
    const std::vector<DrawOp> &opsOf(const ViewItem *row) const;

    // One task row while its primitives are collected.
    struct RowOps : TaskRow
    {
        int order = 0; // among the collected task rows, as they are drawn
        // What the row drew later in the pixel column being read:
        int column = std::numeric_limits<int>::min();
        int widestBar = std::numeric_limits<int>::min(); // right x of the widest later bar
        double widestEnd = 0;                            // where that bar's event ends on the time axis
        std::vector<DrawOp> later;                       // later connectors and hub arrows
        std::vector<DrawOp> ops;                         // backwards while collecting
    };

    struct NodeOps
    {
        const ViewNode *node = nullptr;
        std::vector<RowOps> rows;
    };

    // A marker or packet arrow of the row numbered `first` that a later row
    // draws again: that row's copy hides it.
    using Superseded = std::pair<int, DrawOp>;

    // What a paint's primitives that reach over the whole task group are
    // compared with, each kept with the last row that draws it.
    struct Sets
    {
        DrawOpSet markers;      // of the node and pixel column being read
        DrawOpSet columnArrows; // vertical packet arrows of the pixel column being read, of every node
        DrawOpSet arrows;       // every other packet arrow of every node
        // The set `op` belongs in, read with the others of its pixel column
        // (`byColumn`) or not.
        DrawOpSet &of(const DrawOp &op, bool byColumn);
        // Earlier rows' copies hidden by a later row's, sorted before the
        // rows drop them.
        std::vector<Superseded> superseded;
    };

private:
    // Makes the node's rows fresh, numbering them from `order`.
    static void resetRows(NodeOps &ops, const ViewNode &node, const PaintPass &pass, int order);
    void dropCoveredAcrossRows(std::vector<RowOps> &rows);

    // Kept between paints for their storage: a paint fills about as much as the one before.
    std::vector<NodeOps> m_nodes;
    Sets m_sets;
};
