#pragma once

#include <QEvent>
#include <QObject>
#include <QPoint>

class EventChart;
class QKeyEvent;
class QMouseEvent;
class QNativeGestureEvent;
class QWheelEvent;
class QWidget;

// The event chart's keys, wheel, pinch, panning drags and right-click menu,
// taken from the chart, its viewport, canvas and ruler before they see them:
//  - Ctrl+wheel, the plain wheel over the ruler and a pinch zoom about the
//    mouse; Shift+wheel scrolls across; the plain wheel keeps scrolling rows;
//  - W and S zoom about the mouse (or the middle), A and D move a tenth of
//    the view, Home and End jump to the start and the end;
//  - the middle button, or the left one while Space is held, drags the view.
// Everything else passes on to the chart's own handling.
class ChartNavigator : public QObject
{
    Q_OBJECT
public:
    // Watches `chart`, which owns the navigator.
    explicit ChartNavigator(EventChart *chart);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool wheel(const QWheelEvent &event, bool overRuler);
    bool pinch(const QNativeGestureEvent &event, const QPoint &viewportPosition);
    bool key(const QKeyEvent &event);
    bool spaceKey(const QKeyEvent &event);
    bool mouse(QEvent::Type type, const QMouseEvent &event);
    void scrollAcross(int pixels);
    void setPanCursor(bool panning);

    EventChart *m_chart;
    bool m_spaceHeld = false;
    bool m_panning = false;
    QPoint m_panStart;    // global position of the press, pixels
    QPoint m_scrollStart; // horizontal and vertical scroll values at the press
    // A pinch's magnification not yet turned into whole zoom steps (natural log).
    double m_pinchLog = 0.0;
    // Ctrl+wheel turns not yet a whole notch (eighths of a degree): touchpads
    // send many small ones.
    int m_zoomDelta = 0;
};
