#include "views/eventchartcanvas.h"

#include <QMouseEvent>

EventChartCanvas::EventChartCanvas(QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(true);
}

void EventChartCanvas::mousePressEvent(QMouseEvent *event)
{
    emit canvasMousePressEvent(event);
}

void EventChartCanvas::mouseMoveEvent(QMouseEvent *event)
{
    emit canvasMouseMoveEvent(event);
}

void EventChartCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    emit canvasMouseReleaseEvent(event);
}

void EventChartCanvas::mouseDoubleClickEvent(QMouseEvent *event)
{
    emit canvasMouseDoubleClickEvent(event);
}
