#pragma once

#include <QWidget>

class QMouseEvent;

// The chart's scrolled content: it paints nothing (the chart paints its
// viewport) and hands the chart every mouse event it receives. It sits at the
// viewport's origin, so its positions are viewport positions.
class EventChartCanvas : public QWidget
{
    Q_OBJECT
public:
    explicit EventChartCanvas(QWidget *parent = nullptr);

signals:
    void canvasMousePressEvent(QMouseEvent *event);
    void canvasMouseMoveEvent(QMouseEvent *event);
    void canvasMouseReleaseEvent(QMouseEvent *event);
    void canvasMouseDoubleClickEvent(QMouseEvent *event);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};
