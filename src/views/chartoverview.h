#pragma once

#include "chart/axistime.h"
#include "chart/overviewactivity.h"
#include "chart/overviewpainter.h"

#include <QList>
#include <QWidget>

class ChartMarks;
class EventChart;
class Node;
class QMouseEvent;
class QPainter;
class QPaintEvent;

// The overview strip between an event chart's ruler and its rows: the whole
// aligned time range of the view, one band per node shaded by activity, the
// bookmarks as ticks and the range the chart shows as a frame. A click
// centres the chart on the time under it; dragging the frame scrolls the
// chart, dragging one of its edges zooms the chart so that the edge follows
// the mouse and the other stays.
//
// The strip stays linear in both modes. In logarithmic mode the frame spans
// the current node's times at the chart's edges, and times are brought to
// the chart through that node's events (see AxisTime).
//
// Activity is computed when the view's nodes, their shifts or the strip's
// width changed; a scroll or a zoom only moves the frame.
class ChartOverview : public QWidget
{
    Q_OBJECT
public:
    static constexpr int edgeGrip = 3; // pixels either side of a frame's edge that grab the edge

    // `chart` must outlive the strip (it is normally the strip's parent).
    explicit ChartOverview(EventChart &chart, QWidget *parent = nullptr);

    // The strip's height for the chart's nodes, pixels.
    int stripHeight() const;
    // Brings the profiles up to date for the strip's width.
    OverviewContent content();
    const OverviewActivity &activity() const { return m_activity; }
    // The frame's rectangle in the strip's coordinates.
    QRect visibleRect();
    // Paints the strip as it shows now, at the painter's origin, its size the strip's.
    void paintStrip(QPainter &painter);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    enum Grip { NoGrip, Body, LeftEdge, RightEdge };

    Grip gripAt(int x);
    int chartLeft() const;
    int chartWidth() const; // the rows' visible width right of the header, pixels
    OverviewScale scale() const;
    // The strip's columns of the marks' matches, ascending, each once.
    static std::vector<int> matchColumns(const ChartMarks &marks, const OverviewScale &scale);
    // The aligned time at strip x.
    double timeAt(int x) const;
    // The node a logarithmic chart shows, with its shift; null in linear mode.
    const Node *logNode(int *shift) const;
    TimeSpan visibleSpan() const;
    // Scrolls the chart so that aligned `time` lies `x` pixels right of the rows' left edge.
    void scrollTo(double time, int x);
    // Zooms the chart so that aligned [from, to] fills the rows' visible width.
    void zoomTo(double from, double to);
    void follow(int x);

    EventChart &m_chart;
    OverviewActivity m_activity;
    Grip m_grip = NoGrip; // what the left button holds since its press
    int m_pressX = 0;
    TimeSpan m_spanAtPress;
};
