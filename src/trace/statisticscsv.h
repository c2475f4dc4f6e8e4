#pragma once

#include "trace/nodestatistics.h"
#include "trace/packetstatistics.h"

#include <QStringList>
#include <QTextStream>

// The statistics tables as RFC 4180 CSV: a header row, CRLF line ends, fields
// quoted when needed. Times are whole microseconds; the mean and the share
// (percent) have 9 significant digits. The header names double as column
// titles for anything that shows the same tables.
namespace StatisticsCsv {

// A field quoted when it holds a comma, a quote or a line break.
QString field(const QString &text);
// 9 significant digits: enough to tell every single-precision value apart.
QString number(double value);

// nodeId,taskId,name,activations,total,min,mean,max,p50,p95,p99,share
QStringList taskColumns();
// nodeId,service,name,calls,total,min,mean,max,p50,p95,p99
QStringList serviceColumns();
// nodeId,service,name,taskId,task,calls,total,min,mean,max,p50,p95,p99
QStringList serviceCallerColumns();
// nodeId,interrupt,count,total,min,mean,max,p50,p95,p99
QStringList interruptColumns();
// source,destination,hop,fromNode,toNode,packets,total,min,mean,max,p50,p95,p99
QStringList packetColumns();

// Each writes its header row, then one row per entry in the given order.
void writeTasks(QTextStream &out, const QVector<TaskStatistics> &rows);
void writeServices(QTextStream &out, const QVector<ServiceStatistics> &rows);
// One row per service and calling task, services in the given order.
void writeServiceCallers(QTextStream &out, const QVector<ServiceStatistics> &rows);
void writeInterrupts(QTextStream &out, const QVector<InterruptStatistics> &rows);
void writePackets(QTextStream &out, const QVector<PacketLegStatistics> &rows);

} // namespace StatisticsCsv
