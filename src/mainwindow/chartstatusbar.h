#pragma once

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <optional>

class EventChart;
class NodeViewWindow;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QStatusBar;

// The main window's status bar for the active node view: the time, node and
// row under the mouse, the time range in view and the selection's duration.
// It only sets texts, so the chart is never repainted for it. The bar shows
// while there is a node view.
class ChartStatusBar : public QObject
{
    Q_OBJECT
public:
    // Follows the active sub-window of `area`; `bar` and `area` must outlive it.
    ChartStatusBar(QStatusBar *bar, QMdiArea *area);

    QString pointerText() const;
    QString rangeText() const;
    QString selectionText() const;
    QString cursorsText() const;

public slots:
    // Shown while a node's title row is dragged: the clock offset it applies.
    void showClockOffset(const QString &node, qint64 offsetUs);

private slots:
    void follow(QMdiSubWindow *window);
    void showPointer(const QPoint &position);
    void showRange();
    void showSelection();
    void showCursors();

private:
    void clear();

    QStatusBar *m_bar;
    QLabel *m_pointer;
    QLabel *m_range;
    QLabel *m_selection;
    QLabel *m_cursors;
    QPointer<EventChart> m_chart;
    // Where the mouse last was over the chart: a scroll or zoom under a still
    // mouse changes the time there.
    std::optional<QPoint> m_lastPointer;
    QList<QMetaObject::Connection> m_connections;
};
