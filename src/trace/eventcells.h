#pragma once

#include "trace/traceevent.h"

#include <QVariant>

// The cells of one event's row in a view's event list, shared by the list,
// the find bar's free text and the copy of rows as CSV, so that all three
// read the same texts.
namespace EventCells {

enum Column { NUMBER = 0, TIMESTAMP = 1, TYPE = 2, ARG1 = 3, ARG2 = 4, TIMECUT = 5 };
constexpr int columns = 6;

// Characters any cell's text may need: two 11-character numbers with brackets.
constexpr int maxLength = 32;

// The column's header text ("#", "Ts (usec)", ...); empty outside the columns.
QString title(int column);

// Writes the text the list shows in the cell, plain ASCII with numbers
// ungrouped, into `text` (maxLength characters, not terminated) and returns
// its length: 0 for an empty cell. `index` is the event's index in its node,
// whose id is `ownNodeId`.
int write(const TraceEvent &event, int index, int column, int ownNodeId, char *text);

// The same cell as the list's display role: numbers as numbers, composite
// texts as strings, an empty cell as no value.
QVariant display(const TraceEvent &event, int index, int column, int ownNodeId);

// An event the catalogue knows, with its arguments decoded and a node id.
inline bool isCatalogued(const TraceEvent &event)
{
    return (event.flags() & 7) == 7;
}

} // namespace EventCells
