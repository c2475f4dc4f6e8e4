#pragma once

#include <QStringView>

// Numbers in trace files are C integer literals: an optional sign, then "0x"
// or "0X" for hexadecimal, a leading "0" for octal, else decimal. Text that is
// no such literal, or whose value is outside the target type, reads as 0.
namespace CNumber {

qint32 toInt32(QStringView text);
// A negative literal is outside the unsigned range and reads as 0.
quint32 toUInt32(QStringView text);

} // namespace CNumber
