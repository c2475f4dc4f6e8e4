#include "trace/queryparser.h"

#include "trace/eventcatalogue.h"
#include "trace/hub.h"
#include "trace/node.h"
#include "trace/task.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

struct FieldName
{
    const char *name;
    QueryTerm::Field field;
    const char *what; // as error texts name a value of the field
};

constexpr FieldName fieldNames[] = {
    {"type", QueryTerm::Type, "event type"}, {"service", QueryTerm::Service, "service"},
    {"task", QueryTerm::Task, "task"},       {"hub", QueryTerm::Hub, "hub"},
    {"arg1", QueryTerm::Arg1, nullptr},      {"arg2", QueryTerm::Arg2, nullptr},
    {"seq", QueryTerm::Seq, nullptr},        {"time", QueryTerm::Time, nullptr},
};

const FieldName *fieldNamed(const QString &name)
{
    for (const FieldName &field : fieldNames) {
        if (name.compare(QLatin1String(field.name), Qt::CaseInsensitive) == 0)
            return &field;
    }
    return nullptr;
}

const FieldName &fieldOf(QueryTerm::Field field)
{
    for (const FieldName &name : fieldNames) {
        if (name.field == field)
            return name;
    }
    return fieldNames[0];
}

bool isFieldChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Catalogue and service names compare ignoring case and underscores.
QString normalized(const QString &name)
{
    QString folded = name.toLower();
    folded.remove(QLatin1Char('_'));
    return folded;
}

bool isTypeName(const QString &catalogueName, const QString &wanted)
{
    const QString name = normalized(catalogueName);
    for (const QLatin1String prefix : {QLatin1String("l1"), QLatin1String("sync")}) {
        if (name.startsWith(prefix) && name.mid(prefix.size()) == wanted)
            return true;
    }
    return name == wanted;
}

QString catalogueServiceName(const EventCatalogue *catalogue, qint32 code)
{
    if (catalogue) {
        for (const ServiceInfo &info : catalogue->services()) {
            if (info.code == code)
                return info.name;
        }
    }
    return {};
}

void addPoint(QueryTerm &term, qint64 value)
{
    term.ranges.push_back({value, value});
}

// Beyond any timestamp, id or argument: sums of them cannot overflow.
constexpr qint64 numberLimit = qint64(1) << 40;

} // namespace

QueryParser::QueryParser(const QString &query, const Node &node)
    : m_query(query)
    , m_node(node)
{}

std::vector<QueryTerm> QueryParser::parse()
{
    std::vector<QueryTerm> terms;
    int at = 0;
    const int size = int(m_query.size());
    while (true) {
        while (at < size && m_query[at].isSpace())
            ++at;
        if (at >= size)
            return terms;
        const int start = at;
        int end = at;
        while (end < size && isFieldChar(m_query[end]))
            ++end;
        if (end > start && end < size && m_query[end] == QLatin1Char(':')) {
            const QString name = m_query.mid(start, end - start);
            const FieldName *field = fieldNamed(name);
            if (!field) {
                fail(QStringLiteral("unknown field '%1'").arg(name), start, end - start);
                return {};
            }
            at = end + 1;
            const std::optional<Token> value = readToken(at);
            if (!value)
                return {};
            if (value->text.isEmpty()) {
                fail(QStringLiteral("no value after '%1:'").arg(name), start, at - start);
                return {};
            }
            QueryTerm term;
            term.field = field->field;
            if (term.field == QueryTerm::Hub) {
                for (const auto &[id, service] : m_node.services().asKeyValueRange()) {
                    if (service.code == ServiceCode::SendToHub || service.code == ServiceCode::ReceiveFromHub)
                        term.services.push_back(id);
                }
            }
            if (!parseValues(term, *value))
                return {};
            terms.push_back(std::move(term));
        } else {
            const std::optional<Token> words = readToken(at);
            if (!words)
                return {};
            if (!words->text.isEmpty())
                terms.push_back(textTerm(words->text));
        }
    }
}

std::optional<QueryParser::Token> QueryParser::readToken(int &at)
{
    Token token;
    token.position = at;
    const int size = int(m_query.size());
    if (at < size && m_query[at] == QLatin1Char('"')) {
        const int close = int(m_query.indexOf(QLatin1Char('"'), at + 1));
        if (close < 0) {
            fail(QStringLiteral("missing closing quote"), at, size - at);
            return std::nullopt;
        }
        token.text = m_query.mid(at + 1, close - at - 1);
        token.position = at + 1;
        token.quoted = true;
        at = close + 1;
        return token;
    }
    const int start = at;
    while (at < size && !m_query[at].isSpace())
        ++at;
    token.text = m_query.mid(start, at - start);
    return token;
}

bool QueryParser::parseValues(QueryTerm &term, const Token &token)
{
    if (token.quoted)
        return parseItem(term, token.text, token.position);
    int position = token.position;
    for (const QString &item : token.text.split(QLatin1Char(','))) {
        if (item.isEmpty())
            return fail(QStringLiteral("empty value in '%1'").arg(token.text), token.position,
                        int(token.text.size()));
        if (!parseItem(term, item, position))
            return false;
        position += int(item.size()) + 1;
    }
    return true;
}

bool QueryParser::parseItem(QueryTerm &term, const QString &item, int position)
{
    const bool named = term.field == QueryTerm::Type || term.field == QueryTerm::Service ||
                       term.field == QueryTerm::Task || term.field == QueryTerm::Hub;
    const QChar first = item.front();
    const bool numeric = first.isDigit() || first == QLatin1Char('-') || first == QLatin1Char('.');
    if (named && !numeric) {
        if (addNamed(term, item))
            return true;
        return fail(QStringLiteral("unknown %1 '%2'").arg(QLatin1String(fieldOf(term.field).what), item),
                    position, int(item.size()));
    }
    const std::optional<QueryTerm::Range> range = parseRange(item, position, term.field == QueryTerm::Time);
    if (!range)
        return false;
    term.ranges.push_back(*range);
    return true;
}

bool QueryParser::addNamed(QueryTerm &term, const QString &item) const
{
    const std::size_t before = term.ranges.size() + term.hubKeys.size();
    const QString wanted = normalized(item);
    const EventCatalogue *catalogue = m_node.catalogue();
    switch (term.field) {
    case QueryTerm::Type:
        if (catalogue) {
            for (const SysEventInfo &info : catalogue->sysEvents()) {
                if (isTypeName(info.name, wanted))
                    addPoint(term, info.code);
            }
        }
        break;
    case QueryTerm::Service:
        for (const auto &[id, service] : m_node.services().asKeyValueRange()) {
            if (normalized(service.name) == wanted ||
                normalized(catalogueServiceName(catalogue, service.code)) == wanted)
                addPoint(term, id);
        }
        break;
    case QueryTerm::Task:
        for (const auto &task : m_node.tasks()) {
            if (task->name().compare(item, Qt::CaseInsensitive) == 0)
                addPoint(term, task->id());
        }
        break;
    case QueryTerm::Hub:
        for (const auto *hubs : {&m_node.hubs(), &m_node.remoteHubs()}) {
            for (const auto &hub : *hubs) {
                if (hub->name().compare(item, Qt::CaseInsensitive) == 0)
                    term.hubKeys.push_back(qint64(hub->hubNodeId()) << 8 | hub->id());
            }
        }
        break;
    default:
        break;
    }
    return term.ranges.size() + term.hubKeys.size() > before;
}

std::optional<QueryTerm::Range> QueryParser::parseRange(const QString &item, int position, bool time)
{
    const int dots = int(item.indexOf(QLatin1String("..")));
    if (dots < 0) {
        const std::optional<qint64> value = parseNumber(item, position, time);
        return value ? std::optional<QueryTerm::Range>({*value, *value}) : std::nullopt;
    }
    const QString lowText = item.left(dots);
    const QString highText = item.mid(dots + 2);
    if (lowText.isEmpty() && highText.isEmpty()) {
        fail(QStringLiteral("range without ends"), position, int(item.size()));
        return std::nullopt;
    }
    QueryTerm::Range range{std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()};
    if (!lowText.isEmpty()) {
        const std::optional<qint64> low = parseNumber(lowText, position, time);
        if (!low)
            return std::nullopt;
        range.low = *low;
    }
    if (!highText.isEmpty()) {
        const std::optional<qint64> high = parseNumber(highText, position + dots + 2, time);
        if (!high)
            return std::nullopt;
        range.high = *high;
    }
    if (range.low > range.high) {
        fail(QStringLiteral("range ends before it starts: '%1'").arg(item), position, int(item.size()));
        return std::nullopt;
    }
    return range;
}

std::optional<qint64> QueryParser::parseNumber(const QString &text, int position, bool time)
{
    static const QRegularExpression integer(QStringLiteral("^(-?)(?:0[xX]([0-9a-fA-F]+)|([0-9]+))$"));
    static const QRegularExpression duration(
        QStringLiteral("^(-?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+))(us|ms|s)$"));
    double value = std::numeric_limits<double>::infinity();
    const QRegularExpressionMatch whole = integer.match(text);
    if (whole.hasMatch()) {
        const bool hex = whole.capturedLength(2) > 0;
        bool ok = false;
        const qint64 magnitude = (hex ? whole.captured(2) : whole.captured(3)).toLongLong(&ok, hex ? 16 : 10);
        if (ok)
            value = double(whole.capturedLength(1) > 0 ? -magnitude : magnitude);
    } else if (const QRegularExpressionMatch timed = duration.match(text); time && timed.hasMatch()) {
        const QString unit = timed.captured(2);
        const double factor = unit == QLatin1String("s") ? 1e6 : unit == QLatin1String("ms") ? 1e3 : 1.0;
        value = std::round(timed.captured(1).toDouble() * factor);
    }
    if (!(std::abs(value) < double(numberLimit))) {
        fail(QStringLiteral("bad number '%1'").arg(text), position, int(text.size()));
        return std::nullopt;
    }
    return qint64(value);
}

QueryTerm QueryParser::textTerm(const QString &words) const
{
    QueryTerm term;
    term.field = QueryTerm::Text;
    const QString needle = words.toLower();
    static const QRegularExpression cellText(QStringLiteral("^[0-9\\-\\[\\]() ]+$"));
    term.inCells = cellText.match(needle).hasMatch();
    term.text = needle.toLatin1();
    if (const EventCatalogue *catalogue = m_node.catalogue()) {
        for (const SysEventInfo &info : catalogue->sysEvents()) {
            if (info.name.contains(needle, Qt::CaseInsensitive))
                term.types.push_back(info.code);
        }
    }
    for (const auto &[id, service] : m_node.services().asKeyValueRange()) {
        if (service.name.contains(needle, Qt::CaseInsensitive))
            term.services.push_back(id);
    }
    return term;
}

bool QueryParser::fail(const QString &text, int position, int length)
{
    m_error = QueryError{text, position, std::max(1, length)};
    return false;
}
