#pragma once

#include <QRect>

class QPainter;
class ViewItem;
class ViewNode;
struct PaintPass;

// Paints the rows of the view tree around their events. The first pass lays
// the ground: the root's black, the node rows' gradient, the groups' gray and
// each task's and hub's swimline; the second draws over the events of a node
// what the event list does not show (hatched) and the selection. An internal
// header writes each row's label into it.
class RowPainter
{
public:
    RowPainter(QPainter &painter, const PaintPass &pass);

    // `visible`: the part of the row in the paint's clip.
    void paintRoot(const QRect &visible) const;
    void paintNodeGround(const ViewNode &node, const QRect &visible) const;
    void paintNodeOverlays(const ViewNode &node) const;
    void paintGroupGround(const ViewItem &group, const QRect &visible) const;
    // A task's or hub's row; a hub's label goes with it, a task's after its events.
    void paintLeafGround(const ViewItem &item, const QRect &visible) const;
    void paintLabel(const ViewItem &item) const;

    // What paintNodeOverlays draws over the node's rows (rows' coordinates):
    // the hatching before and after the event list's range, then the selection.
    struct NodeOverlays
    {
        bool current = false;
        bool hatched = false; // `after`, and `before` where hasBefore
        bool hasBefore = false;
        bool selected = false;
        QRect before;
        QRect after;
        QRect selection;
    };
    static NodeOverlays overlaysOf(const PaintPass &pass, const ViewNode &node);

private:
    // The overlay over a node's rows from the start of event a to the end of
    // event b (either order), below the node's own row. Indexes out of the
    // node's range give an empty rectangle.
    static QRect overlayRect(const PaintPass &pass, int a, int b, const ViewNode &node);

    QPainter &m_painter;
    const PaintPass &m_pass;
};
