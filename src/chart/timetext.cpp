#include "chart/timetext.h"

#include <QChar>

#include <cmath>

namespace {

QString micro()
{
    return QString(QChar(0x00B5)) + QLatin1Char('s');
}

// `value` with up to `decimals` decimals, trailing zeros and a bare point dropped.
QString trimmed(double value, int decimals)
{
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text;
}

} // namespace

QString TimeText::instant(double us)
{
    return QString::number(std::round(us) / 1e6, 'f', 6) + QStringLiteral(" s");
}

QString TimeText::span(double us)
{
    const double whole = std::round(us);
    const double size = std::fabs(whole);
    if (size >= 1e6)
        return trimmed(whole / 1e6, 6) + QStringLiteral(" s");
    if (size >= 1e3)
        return trimmed(whole / 1e3, 3) + QStringLiteral(" ms");
    return trimmed(whole, 0) + QLatin1Char(' ') + micro();
}
