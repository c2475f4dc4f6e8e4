#include "trace/cnumber.h"

#include <limits>
#include <optional>

namespace {

bool isSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

int digitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return 99;
}

// The literal's magnitude and sign; nullopt for anything that is no literal or
// does not fit 33 bits (enough for every 32-bit target, signed or not).
struct Literal
{
    bool negative = false;
    quint64 magnitude = 0;
};

std::optional<Literal> parse(QStringView text)
{
    while (!text.isEmpty() && isSpace(text.front()))
        text = text.mid(1);
    while (!text.isEmpty() && isSpace(text.back()))
        text.chop(1);

    Literal literal;
    if (!text.isEmpty() && (text.front() == QLatin1Char('+') || text.front() == QLatin1Char('-'))) {
        literal.negative = text.front() == QLatin1Char('-');
        text = text.mid(1);
    }
    if (text.isEmpty())
        return std::nullopt;

    int base = 10;
    if (text.size() > 1 && text[0] == QLatin1Char('0') &&
        (text[1] == QLatin1Char('x') || text[1] == QLatin1Char('X'))) {
        base = 16;
        text = text.mid(2);
        if (text.isEmpty())
            return std::nullopt;
    } else if (text.size() > 1 && text[0] == QLatin1Char('0')) {
        base = 8;
        text = text.mid(1);
    }

    constexpr quint64 limit = quint64(1) << 33;
    for (const QChar c : text) {
        const int digit = digitValue(c);
        if (digit >= base)
            return std::nullopt;
        literal.magnitude = literal.magnitude * base + digit;
        if (literal.magnitude >= limit)
            return std::nullopt;
    }
    return literal;
}

} // namespace

namespace CNumber {

qint32 toInt32(QStringView text)
{
    const auto literal = parse(text);
    if (!literal)
        return 0;
    const qint64 value = literal->negative ? -qint64(literal->magnitude) : qint64(literal->magnitude);
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return 0;
    return qint32(value);
}

quint32 toUInt32(QStringView text)
{
    const auto literal = parse(text);
    if (!literal || (literal->negative && literal->magnitude != 0))
        return 0;
    if (literal->magnitude > std::numeric_limits<quint32>::max())
        return 0;
    return quint32(literal->magnitude);
}

} // namespace CNumber
