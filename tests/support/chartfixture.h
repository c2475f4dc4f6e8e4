#pragma once

#include "chart/viewroot.h"
#include "headlesstracer.h"
#include "views/eventchart.h"

#include <QImage>

#include <memory>

// Two small nodes loaded once and a chart of them shown afresh, for tests of the chart widget.
// Node 1: Worker (task 1) runs events 0-2 at 0, 100 and 300 us, Logger (task 2) events 3-5 at
// 600, 700 and 1000 us; the last has no duration. Node 2: Sender (task 1) runs events at 0, 200
// and 500 us.
class ChartFixture
{
protected:
    HeadlessTracer m_tracer;
    Node *m_first = nullptr;
    Node *m_second = nullptr;
    std::unique_ptr<ViewRoot> m_root;
    NodeViewStates m_states;
    std::unique_ptr<EventChart> m_chart;

    // Loads both nodes; once, before any chart.
    bool loadNodes();
    // A fresh root viewing `nodes`, `current` current; the chart of the old root goes first.
    void makeRoot(const QList<Node *> &nodes, Node *current);
    // A shown chart of the root, painted once so the view states hold the painted event ranges.
    bool showChart(const QSize &size, const QString &project = QStringLiteral("/project"));
    bool makeChart(const QList<Node *> &nodes, Node *current, const QSize &size = QSize(1300, 400))
    {
        makeRoot(nodes, current);
        return showChart(size);
    }

    NodeViewState &stateOf(const Node *node) { return m_states[node->traceFileName()]; }
    // What the window shows of `widget` once pending paints are done: the pixels a person sees,
    // not a fresh paint, which would hide a stale one; null where the platform cannot grab a window.
    QImage shownPixels(const QWidget *widget) const;
};
