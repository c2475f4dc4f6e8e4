#include "trace/eventcells.h"

#include <QString>

#include <charconv>

namespace {

// Appends a number; returns the end of the text.
template<typename Number> char *put(char *text, Number value)
{
    return std::to_chars(text, text + 11, value).ptr;
}

// "first [second]"
char *bracketed(char *text, qint32 first, qint32 second, char open, char close)
{
    text = put(text, first);
    *text++ = ' ';
    *text++ = open;
    text = put(text, second);
    *text++ = close;
    return text;
}

// Whether the cell is a composite text rather than a bare number.
bool isComposite(const TraceEvent &event, int column, int ownNodeId)
{
    if (!EventCells::isCatalogued(event))
        return false;
    if (EventType::isSync(event.type))
        return column == EventCells::ARG1 || column == EventCells::ARG2;
    if (column == EventCells::ARG1)
        return event.type == EventType::UserMarker;
    return column == EventCells::ARG2 && event.nodeId != ownNodeId;
}

} // namespace

namespace EventCells {

QString title(int column)
{
    static const char *const texts[columns] = {"#", "Ts (usec)", "Tp", "Arg1", "Arg2", "Tc"};
    return column >= 0 && column < columns ? QString::fromLatin1(texts[column]) : QString();
}

int write(const TraceEvent &event, int index, int column, int ownNodeId, char *text)
{
    const bool catalogued = isCatalogued(event);
    const bool sync = EventType::isSync(event.type);
    char *end = text;
    switch (column) {
    case NUMBER:
        end = put(text, index + 1);
        break;
    case TIMESTAMP:
        end = put(text, event.timestamp);
        break;
    case TYPE:
        if (!catalogued)
            end = put(text, event.type);
        break;
    case ARG1:
        if (catalogued && sync)
            end = bracketed(text, event.arg1, event.nodeId, '[', ']');
        else if (catalogued && event.type == EventType::UserMarker)
            end = put(text, event.arg1);
        break;
    case ARG2:
        if (catalogued && sync)
            end = bracketed(text, event.arg2 & 0xFFFF, event.arg2 >> 16, '(', ')');
        else if (catalogued && event.nodeId != ownNodeId)
            end = bracketed(text, event.arg2, event.nodeId, '[', ']');
        else
            end = put(text, event.arg2);
        break;
    case TIMECUT:
        end = put(text, event.timecut);
        break;
    default:
        break;
    }
    return int(end - text);
}

QVariant display(const TraceEvent &event, int index, int column, int ownNodeId)
{
    if (isComposite(event, column, ownNodeId)) {
        char text[maxLength];
        return QString::fromLatin1(text, write(event, index, column, ownNodeId, text));
    }
    switch (column) {
    case NUMBER:
        return index + 1;
    case TIMESTAMP:
        return quint64(event.timestamp);
    case TYPE:
        return isCatalogued(event) ? QVariant() : QVariant(event.type);
    case ARG1:
        return {};
    case ARG2:
        return event.arg2;
    case TIMECUT:
        return quint64(event.timecut);
    default:
        return {};
    }
}

} // namespace EventCells
