#pragma once

#include <QRect>

class QPainter;
class ViewItem;
struct PaintPass;

// The external header: a column left of the chart with a cell per row that
// holds the row's icon and label, and a blue frame around the rows of the
// current node reaching over the chart.
class ChartHeader
{
public:
    ChartHeader(QPainter &painter, const PaintPass &pass);

    // The cells of `item` and of the rows below it, in the viewport's coordinates.
    void paint(const ViewItem &item) const;

private:
    void paintCell(const ViewItem &item) const;
    void paintRootCell(const ViewItem &root) const;
    void paintNodeCell(const ViewItem &node) const;
    void paintGroupCell(const ViewItem &group) const;
    void paintLeafCell(const ViewItem &item) const;
    void frameCurrentNode(const ViewItem &node) const;
    // Whether a cell drawn over viewport rows top to top + height (pixels) may
    // reach into the painter's clip; a row's text may stand a row beyond.
    bool reaches(int top, int height) const;

    QPainter &m_painter;
    const PaintPass &m_pass;
    QRect m_clip; // the painter's, null without clipping
};
