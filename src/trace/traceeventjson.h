#pragma once

#include "trace/packetstatistics.h"

#include <QJsonDocument>

// The nodes as a trace in the Chrome trace-event JSON format, on the common
// time axis the inputs place them on (microseconds: offset + shift):
// - a process per node (pid: node id, named after the node, in input order),
//   a thread per task (tid: task id, named "[id] name");
// - each task activation (see TaskActivation) as a complete event ("X", cat
//   "task") on its task's thread;
// - interrupts (one event's time slice), kernel servicings and service calls
//   (request to completion, see ServiceCall) as complete events (cat
//   "interrupt", "kernel", "service") nested in the activation of the task
//   that logged their first event, when they lie within it and within one
//   another; otherwise, as a call the caller is switched away from, as an
//   async pair ("b"/"e") with an id of its own. Calls without a request or a
//   completion in the range are left out;
// - sync markers and user markers as instant events ("i", thread scope, cat
//   "marker") on the task that set them;
// - each link of a packet's route (see PacketLeg, hop >= 1) as a flow pair,
//   "s" at the sending or routing event and "f" (bound to its enclosing
//   slice) at the next routing or the receiving event, one id per link.
// Only each input's range is written.
QJsonDocument traceEventJson(const QVector<PacketNodeInput> &inputs);
