#pragma once

#include "trace/traceritem.h"

class Hub;
class Node;
class Project;
class QTableWidget;
class Task;

// The property browser's two-column tables: a label and a value per row,
// row 0 naming the category. Each function writes the whole table.
namespace Properties {

void fillProject(const Project &project, QTableWidget *table);
// NODE, TASKS, HUBS, and TASK_EVENT_RANGE over events first..last (either
// order; a range that leaves the events leaves the table empty); any other
// category writes nothing.
void fillNode(const Node &node, TracerItem::TracerItemCategory category, QTableWidget *table, int first,
              int last);
// TASK, and TASK_EVENT for the node's event `index` (left empty when the node
// has no such event); any other category writes nothing.
void fillTask(const Task &task, TracerItem::TracerItemCategory category, QTableWidget *table, int index);
void fillHub(const Hub &hub, QTableWidget *table);

} // namespace Properties
