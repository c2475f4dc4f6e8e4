#pragma once

#include "trace/queryterm.h"

#include <vector>

class Node;
struct TraceEvent;

// A query over one node's events, as the find bar of a view window takes it.
//
// Terms are separated by spaces, and an event matches when it matches every
// term. A term is `field:values` or free text:
//
//   type:ServiceRequest   event type: the catalogue's name ignoring case and
//                         underscores, with or without its L1_/SYNC_ prefix
//                         (L1_SERVICE_REQUEST, ServiceRequest, packetsending),
//                         or the type code (1, -1, 255)
//   service:Start_Task    service requests and completions (kernel servicing
//                         too) of the service: its declared name, its
//                         catalogue name, or its id
//   task:Idle             events while the task ran: its name, or its id
//   hub:Mailbox           requests of the hub services on the hub: its name,
//                         or its id (on any node)
//   arg1:0x10  arg2:-3    the decoded argument
//   seq:17                sync events of the packet sequence number
//   time:100..2000        the timestamp (usec); a number may end in us, ms or
//                         s (1.5ms) and may have a fraction then
//
// Numbers are decimal or 0x hexadecimal, negative where the field allows it.
// Numeric fields (arg1, arg2, seq, time and ids) take ranges too: 5..9, ..9
// (up to 9), 5.. (from 5), both ends included. Several values joined by
// commas match any of them: type:ServiceRequest,ServiceCompleted. A value
// with spaces is quoted: task:"Rx task". Field names ignore case.
//
// Free text, a word or a "quoted phrase", matches ignoring case anywhere in
// the row's cell texts as the event list shows them, numbers without digit
// grouping ("17 [2]", "7 (3)"), or in the names the row's tooltips give: the
// event type's and the service's.
//
// Names are looked up in the node when the query is parsed: a name the node
// does not know is an error, as is a malformed number or range, an unknown
// field or an unclosed quote. An empty query is valid and matches nothing.
class EventQuery
{
public:
    using Error = QueryError;

    // Parses `query` against `node`, which must outlive the result.
    EventQuery(const QString &query, const Node &node);
    ~EventQuery();
    EventQuery(EventQuery &&) noexcept;
    EventQuery &operator=(EventQuery &&) noexcept;

    bool isValid() const { return m_error.text.isEmpty(); }
    const Error &error() const { return m_error; }
    bool isEmpty() const;

    // Whether the node's event at `index` matches; never for an invalid or
    // empty query or an index outside the events.
    bool matches(int index) const;
    // The indexes of every matching event, ascending.
    std::vector<int> matchAll() const;

    // The match after (forward) or before `current`, an event index, in the
    // ascending `matches`, wrapping around at either end; -1 without matches.
    // A current event of -1 finds the first (last) match.
    static int step(const std::vector<int> &matches, int current, bool forward);

private:
    bool matchesEvent(const TraceEvent &event, int index) const;

    const Node *m_node;
    std::vector<QueryTerm> m_terms;
    Error m_error;
};
