#pragma once

#include <QString>

// Times as the status bar and the measuring aids write them. Trace clocks
// count whole microseconds, so a text never shows less than that.
namespace TimeText {

// A moment on a time axis, in microseconds: seconds with six decimals
// ("12.345678 s"), so that every microsecond shows and moments line up.
QString instant(double us);

// A length of time in microseconds, in the largest of us, ms and s it reaches,
// with the decimals down to the microsecond and no trailing zeros
// ("820 us", "1.25 ms", "2.0005 s"). Negative spans keep their sign.
QString span(double us);

} // namespace TimeText
