#pragma once

#include <QLatin1String>
#include <QStringView>

// Numbers in trace files are C integer literals: an optional sign, then "0x"
// or "0X" for hexadecimal, a leading "0" for octal, else decimal. Text that is
// no such literal, or whose value is outside the target type, reads as 0.
// Both overloads read the same characters alike.
namespace CNumber {

qint32 toInt32(QStringView text);
qint32 toInt32(QLatin1String text);
// A negative literal is outside the unsigned range and reads as 0.
quint32 toUInt32(QStringView text);
quint32 toUInt32(QLatin1String text);

} // namespace CNumber
