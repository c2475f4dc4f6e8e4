#include "views/chartnavigator.h"

#include "views/chartruler.h"
#include "views/eventchart.h"
#include "views/eventchartcanvas.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <cmath>

namespace {

// One notch of a common wheel; touchpads send fractions of it.
constexpr int NotchDelta = 120;

} // namespace

ChartNavigator::ChartNavigator(EventChart *chart)
    : QObject(chart)
    , m_chart(chart)
{
    chart->installEventFilter(this);
    chart->viewport()->installEventFilter(this);
    chart->canvas()->installEventFilter(this);
    chart->ruler()->installEventFilter(this);
}

bool ChartNavigator::eventFilter(QObject *watched, QEvent *event)
{
    QWidget *viewport = m_chart->viewport();
    switch (event->type()) {
    case QEvent::Wheel:
        if (watched == viewport || watched == m_chart->ruler())
            return wheel(*static_cast<QWheelEvent *>(event), watched == m_chart->ruler());
        break;
    case QEvent::NativeGesture:
        if (watched == viewport || watched == m_chart->canvas()) {
            const auto &gesture = *static_cast<QNativeGestureEvent *>(event);
            const QPoint at = static_cast<QWidget *>(watched)->mapTo(viewport, gesture.position().toPoint());
            return pinch(gesture, at);
        }
        break;
    case QEvent::KeyPress:
        if (watched == m_chart)
            return key(*static_cast<QKeyEvent *>(event));
        break;
    case QEvent::KeyRelease:
        if (watched == m_chart)
            return spaceKey(*static_cast<QKeyEvent *>(event));
        break;
    case QEvent::FocusOut:
        // Space may be let go elsewhere: the chart would never hear of it.
        if (watched == m_chart && m_spaceHeld) {
            m_spaceHeld = false;
            setPanCursor(m_panning);
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        if (watched == viewport || watched == m_chart->canvas())
            return mouse(event->type(), *static_cast<QMouseEvent *>(event));
        break;
    case QEvent::ContextMenu:
        if (watched == viewport) {
            const auto &request = *static_cast<QContextMenuEvent *>(event);
            QMenu menu;
            m_chart->fillContextMenu(&menu, request.pos());
            menu.exec(request.globalPos());
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}

bool ChartNavigator::wheel(const QWheelEvent &event, bool overRuler)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    // Some systems turn Shift+wheel into a sideways wheel themselves.
    const int delta = event.angleDelta().y() != 0 ? event.angleDelta().y() : event.angleDelta().x();
    if (modifiers & Qt::ShiftModifier) {
        const int lines = QApplication::wheelScrollLines();
        scrollAcross(-delta * lines * m_chart->horizontalScrollBar()->singleStep() / NotchDelta);
        return true;
    }
    if (!(modifiers & Qt::ControlModifier) && !overRuler)
        return false;
    m_zoomDelta += delta;
    const int steps = m_zoomDelta / NotchDelta;
    m_zoomDelta -= steps * NotchDelta;
    m_chart->zoomAt(steps, event.position().toPoint().x());
    return true;
}

bool ChartNavigator::pinch(const QNativeGestureEvent &event, const QPoint &viewportPosition)
{
    if (event.gestureType() != Qt::ZoomNativeGesture)
        return false;
    // The gesture reports each change of magnification; whole steps of the
    // zoom factor are taken as they build up, so a pinch and the zoom keys
    // reach the same scales.
    m_pinchLog += std::log1p(event.value());
    const double step = std::log(double(m_chart->timeScale().zoomFactor()));
    const int steps = int(m_pinchLog / step);
    if (steps != 0) {
        m_pinchLog -= steps * step;
        m_chart->zoomAt(steps, viewportPosition.x());
    }
    return true;
}

bool ChartNavigator::key(const QKeyEvent &event)
{
    if (event.modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier))
        return false;
    const int tenth = m_chart->horizontalScrollBar()->singleStep();
    switch (event.key()) {
    case Qt::Key_W:
        m_chart->zoomAt(1, m_chart->zoomAnchor());
        return true;
    case Qt::Key_S:
        m_chart->zoomAt(-1, m_chart->zoomAnchor());
        return true;
    case Qt::Key_A:
        scrollAcross(-tenth);
        return true;
    case Qt::Key_D:
        scrollAcross(tenth);
        return true;
    case Qt::Key_Home:
        m_chart->goToStart();
        return true;
    case Qt::Key_End:
        m_chart->goToEnd();
        return true;
    case Qt::Key_Space:
        return spaceKey(event);
    default:
        return false;
    }
}

bool ChartNavigator::spaceKey(const QKeyEvent &event)
{
    if (event.key() != Qt::Key_Space)
        return false;
    if (!event.isAutoRepeat()) {
        m_spaceHeld = event.type() == QEvent::KeyPress;
        setPanCursor(m_panning);
    }
    return true;
}

bool ChartNavigator::mouse(QEvent::Type type, const QMouseEvent &event)
{
    if (type == QEvent::MouseButtonPress) {
        const bool panButton =
            event.button() == Qt::MiddleButton || (event.button() == Qt::LeftButton && m_spaceHeld);
        if (!panButton)
            return false;
        m_panning = true;
        m_panStart = event.globalPosition().toPoint();
        m_scrollStart = {m_chart->horizontalScrollBar()->value(), m_chart->verticalScrollBar()->value()};
        setPanCursor(true);
        return true;
    }
    if (!m_panning)
        // While Space is held the hand stays: hovering would set the arrow.
        return m_spaceHeld && type == QEvent::MouseMove;
    const QPoint moved = event.globalPosition().toPoint() - m_panStart;
    m_chart->horizontalScrollBar()->setValue(m_scrollStart.x() - moved.x());
    m_chart->verticalScrollBar()->setValue(m_scrollStart.y() - moved.y());
    if (type == QEvent::MouseButtonRelease && !(event.buttons() & (Qt::MiddleButton | Qt::LeftButton))) {
        m_panning = false;
        setPanCursor(false);
    }
    return true;
}

void ChartNavigator::scrollAcross(int pixels)
{
    QScrollBar *bar = m_chart->horizontalScrollBar();
    bar->setValue(bar->value() + pixels);
}

void ChartNavigator::setPanCursor(bool panning)
{
    m_chart->canvas()->setCursor(panning       ? Qt::ClosedHandCursor
                                 : m_spaceHeld ? Qt::OpenHandCursor
                                               : Qt::ArrowCursor);
}
