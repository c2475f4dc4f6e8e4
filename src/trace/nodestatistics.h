#pragma once

#include "trace/eventrange.h"
#include "trace/timingstats.h"

#include <QString>
#include <QVector>

#include <functional>

class Node;

// Statistics of one node's events over an event range, as rows of sortable
// tables. Times are microseconds on the node's own offset axis. Every row
// names its node, so that tables of several nodes can be joined.

// A task's activations. An activation runs from the event that makes the task
// the running one (a task switch to it, or the range's first event) to the
// next event that makes another task run (or the range's end); a switch to
// the task already running does not start a new one. Everything inside an
// activation counts towards it: interrupts, service events and markers do not
// change the running task, just as for the task's execution time. So over the
// whole node `activations.total` is the task's Task::executionTime() (which
// keeps only the low 32 bits); a switch at the node's very last event opens
// no time slice and is no activation. As there, a marker that lies out of
// time order gives a negative slice that the next slice makes up for. Activations cut by the range's ends
// count with the part inside the range. The references name the activation's
// first event.
struct TaskStatistics
{
    int nodeId = 0;
    int taskId = 0;
    QString name;
    TimingStats activations; // one sample per activation: its duration
    double share = 0;        // percent of the range's time; 0 for a range without time
};

// One task's calls of one service.
struct ServiceCallerStatistics
{
    int taskId = 0;
    QString taskName;
    int calls = 0;
    TimingStats time;
};

// A service's calls. A call is a service request (type 1); its time runs to
// the service completion (type -1) of the same service that the calling task
// logs when it runs again, so requests pair with completions per task, the
// latest open request of that service first. Requests without a completion
// in the range count as calls but have no time (`unmatchedRequests`);
// completions without a request in the range are only counted
// (`unmatchedCompletions`). `kernel` times the kernel's servicing, type 2 to
// the next type -2 of the same service, which nest inside calls and also
// come on their own from the kernel. The references name the request.
struct ServiceStatistics
{
    int nodeId = 0;
    int serviceId = 0;
    QString name; // as the node declared it; empty for an undeclared service
    int calls = 0;
    int unmatchedRequests = 0;
    int unmatchedCompletions = 0;
    TimingStats time;                         // request to completion, matched calls only
    TimingStats kernel;                       // kernel servicing request to completion
    QVector<ServiceCallerStatistics> callers; // by ascending task id
};

// Interrupts (type 255) of one interrupt number (the event's arg1). The trace
// records no end of an interrupt, so its duration is its event's time slice:
// up to the next event that is not a marker (TraceEvent::duration).
struct InterruptStatistics
{
    int nodeId = 0;
    int interrupt = 0;
    TimingStats time; // count: occurrences
};

// One activation of a task, as TaskStatistics counts them: from event `first`
// (at its offset) for `duration` microseconds.
struct TaskActivation
{
    int taskId = 0;
    int first = 0;
    qint64 duration = 0;
};

// The range's activations in event order.
void forEachActivation(const Node &node, EventRange range,
                       const std::function<void(const TaskActivation &)> &visit);

// One service call (types 1 and -1) or kernel servicing (types 2 and -2),
// paired as ServiceStatistics pairs them. `request` or `completion` is -1
// where the range holds none; `taskId` is the task that logged the events
// (the calling task).
struct ServiceCall
{
    int serviceId = 0;
    int taskId = 0;
    bool kernel = false;
    int request = -1;    // event index
    int completion = -1; // event index
};

// Every call of the range: a paired one at its completion, a completion
// without request where it comes, then the requests left open, by event index.
void forEachServiceCall(const Node &node, EventRange range,
                        const std::function<void(const ServiceCall &)> &visit);

// Every task of the node, by ascending id, also those that did not run.
QVector<TaskStatistics> taskStatistics(const Node &node, EventRange range);
// Every service met in the range (requested, completed or serviced), by id.
QVector<ServiceStatistics> serviceStatistics(const Node &node, EventRange range);
// Every interrupt number met in the range, ascending.
QVector<InterruptStatistics> interruptStatistics(const Node &node, EventRange range);

// The microseconds the range spans: the sum of the time slices of its events
// up to the event after `last` (see EventRange).
qint64 rangeTime(const Node &node, EventRange range);
