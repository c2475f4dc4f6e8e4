#pragma once

#include "trace/eventrange.h"

#include <QPointer>
#include <QVector>
#include <QWidget>

class Node;
class NodeViewWindow;
class QTabWidget;
class StatisticsPage;

// The statistics of one node of a view, over its events or a range of them,
// one tab per table: tasks, services, their callers, interrupts and the
// packet routes among all the view's nodes. A jump to a row's worst or best
// instance selects that event in the view's list and chart, making its node
// the current one.
class StatisticsWindow : public QWidget
{
    Q_OBJECT
public:
    // A window of its own, parented by `view`, which it follows with its jumps.
    StatisticsWindow(NodeViewWindow *view, const Node &node, EventRange range);

    QTabWidget *tabs() const { return m_tabs; }
    const QVector<StatisticsPage *> &pages() const { return m_pages; }

private:
    void jump(int nodeId, int eventIndex);

    QPointer<NodeViewWindow> m_view;
    QTabWidget *m_tabs;
    QVector<StatisticsPage *> m_pages;
};
