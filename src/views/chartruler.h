#pragma once

#include <QFont>
#include <QWidget>

class EventChart;
class QMouseEvent;
class QPainter;
class QPaintEvent;

// The time ruler strip above an event chart's rows: the ticks of the chart's
// scale, mode and horizontal scroll (in logarithmic mode, the current node's
// times), starting where the rows start. It sits outside the chart's
// viewport, so the rows' vertical scroll never moves it. It paints what the
// chart shows when it is painted; the chart calls update() when that changes.
// Over the ticks it shows the chart's marks: the cursors' handles, which drag
// the cursors (snapping as the keys do, free while Alt is held), the time
// between them and the bookmarks' flags.
class ChartRuler : public QWidget
{
    Q_OBJECT
public:
    // `chart` must outlive the ruler (it is normally the ruler's parent).
    explicit ChartRuler(const EventChart &chart, QWidget *parent = nullptr);

    // Paints the strip as it shows now, at the painter's origin, its size the strip's.
    void paintStrip(QPainter &painter) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    const EventChart &m_chart;
    int m_draggedCursor = -1; // the cursor whose handle the mouse holds
    QFont m_font;             // the rows' font, so labels read like row texts
};
