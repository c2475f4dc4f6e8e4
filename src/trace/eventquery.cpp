#include "trace/eventquery.h"

#include "trace/eventcells.h"
#include "trace/node.h"
#include "trace/queryparser.h"

#include <algorithm>
#include <cstring>

namespace {

bool holds(const std::vector<qint32> &values, qint64 value)
{
    return std::find(values.begin(), values.end(), value) != values.end();
}

bool isServiceEvent(qint32 type)
{
    return type == EventType::ServiceRequest || type == EventType::ServiceCompleted ||
           type == EventType::KernelServicingRequest || type == EventType::KernelServicingCompleted;
}

bool inAnyCell(const QueryTerm &term, const TraceEvent &event, int index, int ownNodeId)
{
    const auto *needle = term.text.constData();
    const std::size_t length = std::size_t(term.text.size());
    char text[EventCells::maxLength];
    for (int column = 0; column < EventCells::columns; ++column) {
        const int size = EventCells::write(event, index, column, ownNodeId, text);
        if (std::search(text, text + size, needle, needle + length) != text + size)
            return true;
    }
    return false;
}

bool textMatches(const QueryTerm &term, const TraceEvent &event, int index, int ownNodeId)
{
    // The names the row's tooltips give: the type's, and the service's
    // except on sync events and task switches.
    if (holds(term.types, event.type))
        return true;
    if (!EventType::isSync(event.type) && event.type != EventType::TaskSwitch &&
        holds(term.services, event.arg1))
        return true;
    return term.inCells && inAnyCell(term, event, index, ownNodeId);
}

bool hubMatches(const QueryTerm &term, const TraceEvent &event)
{
    const bool request =
        event.type == EventType::ServiceRequest || event.type == EventType::KernelServicingRequest;
    if (!request || !holds(term.services, event.arg1))
        return false;
    return term.inRanges(event.arg2) ||
           std::find(term.hubKeys.begin(), term.hubKeys.end(), qint64(event.nodeId) << 8 | event.arg2) !=
               term.hubKeys.end();
}

bool termMatches(const QueryTerm &term, const TraceEvent &event, int index, int ownNodeId)
{
    switch (term.field) {
    case QueryTerm::Type:
        return term.inRanges(event.type);
    case QueryTerm::Service:
        return isServiceEvent(event.type) && term.inRanges(event.arg1);
    case QueryTerm::Task:
        return term.inRanges(event.currentTask);
    case QueryTerm::Hub:
        return hubMatches(term, event);
    case QueryTerm::Arg1:
        return term.inRanges(event.arg1);
    case QueryTerm::Arg2:
        return term.inRanges(event.arg2);
    case QueryTerm::Seq:
        return EventType::isSync(event.type) && term.inRanges(event.arg2 & 0xFFFF);
    case QueryTerm::Time:
        return term.inRanges(event.timestamp);
    case QueryTerm::Text:
        return textMatches(term, event, index, ownNodeId);
    }
    return false;
}

} // namespace

EventQuery::EventQuery(const QString &query, const Node &node)
    : m_node(&node)
{
    QueryParser parser(query, node);
    m_terms = parser.parse();
    m_error = parser.error();
}

EventQuery::~EventQuery() = default;
EventQuery::EventQuery(EventQuery &&) noexcept = default;
EventQuery &EventQuery::operator=(EventQuery &&) noexcept = default;

bool EventQuery::isEmpty() const
{
    return m_terms.empty();
}

bool EventQuery::matches(int index) const
{
    const TraceEvent *event = m_node->event(index);
    return event && matchesEvent(*event, index);
}

std::vector<int> EventQuery::matchAll() const
{
    std::vector<int> found;
    if (m_terms.empty())
        return found;
    const std::vector<TraceEvent> &events = m_node->events();
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (matchesEvent(events[i], int(i)))
            found.push_back(int(i));
    }
    return found;
}

int EventQuery::step(const std::vector<int> &matches, int current, bool forward)
{
    if (matches.empty())
        return -1;
    if (forward) {
        const auto next = std::upper_bound(matches.begin(), matches.end(), current);
        return next == matches.end() ? matches.front() : *next;
    }
    const auto next = std::lower_bound(matches.begin(), matches.end(), current);
    if (current < 0 || next == matches.begin())
        return matches.back();
    return *(next - 1);
}

bool EventQuery::matchesEvent(const TraceEvent &event, int index) const
{
    if (m_terms.empty())
        return false;
    const int ownNodeId = m_node->nodeId();
    for (const QueryTerm &term : m_terms) {
        if (!termMatches(term, event, index, ownNodeId))
            return false;
    }
    return true;
}
