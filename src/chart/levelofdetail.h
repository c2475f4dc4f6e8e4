#pragma once

#include "chart/drawop.h"
#include "chart/drawopset.h"
#include "chart/eventprimitives.h"

#include <limits>
#include <vector>

class ViewItem;
class ViewNode;
struct EventRange;
struct PaintPass;

// With level of detail on, the task rows of a node get their primitives in
// one pass over the node's events, each event going to its task's row:
// reading the events in order costs far less than each row picking out its
// own events scattered over memory. The pass runs backwards: a primitive that
// a later one of its row and pixel column covers is then dropped before it is
// ever built, and of the primitives drawn over the whole task group only the
// last of equal ones is kept. The picture is the same pixel for pixel.
class LevelOfDetail
{
public:
    // Collects the primitives of the node's task rows for its events `range`,
    // which is not empty.
    void collect(const ViewNode &node, const EventRange &range, const PaintPass &pass);
    // What was collected for task row `row`, in drawing order; nothing for a
    // row of another node.
    const std::vector<DrawOp> &opsOf(const ViewItem *row) const;

    // One task row while its primitives are collected.
    struct RowOps : TaskRow
    {
        int order = 0; // among the node's task rows, as they are drawn
        // What the row drew later in the pixel column being read:
        int column = std::numeric_limits<int>::min();
        int widestBar = std::numeric_limits<int>::min(); // right x of the widest later bar
        double widestEnd = 0;                            // where that bar's event ends on the time axis
        std::vector<DrawOp> later;                       // later connectors and hub arrows
        std::vector<DrawOp> ops;                         // backwards while collecting
    };

private:
    void resetRows(const ViewNode &node, const PaintPass &pass);
    void dropCoveredAcrossRows();

    // Kept between paints for their storage: a paint fills about as much as the one before.
    std::vector<RowOps> m_rows;
    // Markers and packet arrows collected, each with the last row that draws it.
    DrawOpSet m_spanning;
};
