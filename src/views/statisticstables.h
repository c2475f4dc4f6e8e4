#pragma once

#include "trace/eventrange.h"
#include "trace/timingstats.h"

#include <QString>
#include <QStringList>
#include <QVector>

class Node;
class ViewRoot;

// One table of the statistics window, its figures exactly those of the CSV
// writer that kestrel-cli stats uses: the window shows the written fields and
// exports the written text.
struct StatisticsTable
{
    QString title;                // the tab's
    QString quantity;             // what the timings measure, for the histogram
    QString csv;                  // the writer's text, header row first
    QStringList columns;          // from the header row
    QVector<QStringList> rows;    // fields, unquoted
    QVector<QString> labels;      // per row: what the row is about, in words
    QVector<TimingStats> timings; // per row: its durations, worst and best instance
};

// The task, service, service caller and interrupt tables of `node`'s events
// in `range`, then the packet routes among every node of `root`, whole and
// on the clocks the view aligned.
QVector<StatisticsTable> statisticsTables(const Node &node, EventRange range, const ViewRoot &root);

// The records of RFC 4180 text, fields unquoted; line ends CRLF or LF.
QVector<QStringList> parseCsv(const QString &text);
