#pragma once

#include <QHash>
#include <QPointer>
#include <QString>

class Node;

// What a view window and its chart share about one viewed node: the event
// rows visible in the list, the events the chart drew last and the selection.
// Event indexes; -1 for none.
struct NodeViewState
{
    int listFirst = 0;   // first event row visible in the event list
    int listLast = 0;    // listFirst + the list's visible rows
    int chartFirst = -1; // first event the chart visited on its last paint
    int chartEnd = 0;    // where that paint stopped (exclusive)
    int selFirst = -1;   // selection start, as the user began it
    int selLast = -1;    // selection end; may lie before selFirst
    // Set by the view window only; the chart's own records leave it empty.
    // The node is not owned and reads as null once destroyed.
    QPointer<Node> node;
};

// Keyed by the node's trace file name.
using NodeViewStates = QHash<QString, NodeViewState>;
