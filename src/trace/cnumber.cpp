#include "trace/cnumber.h"

#include <array>
#include <limits>
#include <optional>

namespace {

// One character of either kind of text, as UTF-16.
char16_t unit(QChar c)
{
    return c.unicode();
}

char16_t unit(QLatin1Char c)
{
    return c.unicode();
}

bool isSpace(char16_t u)
{
    return u == ' ' || u == '\t' || u == '\n' || u == '\r';
}

// The digit's value in any base up to 16; 99 for a character that is none.
// A table: every number of every event passes through here.
int digitValue(char16_t u)
{
    static constexpr std::array<quint8, 128> values = [] {
        std::array<quint8, 128> table{};
        for (quint8 &value : table)
            value = 99;
        for (int c = '0'; c <= '9'; ++c)
            table[c] = quint8(c - '0');
        for (int c = 'a'; c <= 'f'; ++c)
            table[c] = table[c - 'a' + 'A'] = quint8(c - 'a' + 10);
        return table;
    }();
    return u < values.size() ? values[u] : 99;
}

// The literal's magnitude and sign; nullopt for anything that is no literal or
// does not fit 33 bits (enough for every 32-bit target, signed or not).
struct Literal
{
    bool negative = false;
    quint64 magnitude = 0;
};

// Written once for both kinds of text, so that they cannot read differently.
template<typename Text> std::optional<Literal> parse(Text text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpace(unit(text[begin])))
        ++begin;
    while (end > begin && isSpace(unit(text[end - 1])))
        --end;

    Literal literal;
    if (begin < end && (unit(text[begin]) == '+' || unit(text[begin]) == '-')) {
        literal.negative = unit(text[begin]) == '-';
        ++begin;
    }
    if (begin == end)
        return std::nullopt;

    int base = 10;
    if (end - begin > 1 && unit(text[begin]) == '0' &&
        (unit(text[begin + 1]) == 'x' || unit(text[begin + 1]) == 'X')) {
        base = 16;
        begin += 2;
        if (begin == end)
            return std::nullopt;
    } else if (end - begin > 1 && unit(text[begin]) == '0') {
        base = 8;
        ++begin;
    }

    constexpr quint64 limit = quint64(1) << 33;
    for (; begin < end; ++begin) {
        const int digit = digitValue(unit(text[begin]));
        if (digit >= base)
            return std::nullopt;
        literal.magnitude = literal.magnitude * base + digit;
        if (literal.magnitude >= limit)
            return std::nullopt;
    }
    return literal;
}

template<typename Text> qint32 int32From(Text text)
{
    const auto literal = parse(text);
    if (!literal)
        return 0;
    const qint64 value = literal->negative ? -qint64(literal->magnitude) : qint64(literal->magnitude);
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return 0;
    return qint32(value);
}

template<typename Text> quint32 uint32From(Text text)
{
    const auto literal = parse(text);
    if (!literal || (literal->negative && literal->magnitude != 0))
        return 0;
    if (literal->magnitude > std::numeric_limits<quint32>::max())
        return 0;
    return quint32(literal->magnitude);
}

} // namespace

namespace CNumber {

qint32 toInt32(QStringView text)
{
    return int32From(text);
}

qint32 toInt32(QLatin1String text)
{
    return int32From(text);
}

quint32 toUInt32(QStringView text)
{
    return uint32From(text);
}

quint32 toUInt32(QLatin1String text)
{
    return uint32From(text);
}

} // namespace CNumber
