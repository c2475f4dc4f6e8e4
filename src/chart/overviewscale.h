#pragma once

#include <QtGlobal>

// Between the columns of the overview strip and the view's aligned linear
// time axis: `columns` pixels show [0, length] microseconds, each column an
// equal share of it, whatever the chart's mode. Column x covers the times
// [timeAt(x), timeAt(x + 1)).
class OverviewScale
{
public:
    // A length below 1 us counts as 1 us, fewer than one column as one.
    OverviewScale(qint64 length, int columns);

    qint64 length() const { return m_length; } // microseconds
    int columns() const { return m_columns; }
    // Microseconds per column.
    double columnSpan() const { return double(m_length) / double(m_columns); }

    // The time at x pixels from the strip's left end, fractions allowed.
    double timeAt(double x) const { return x * double(m_length) / double(m_columns); }
    // The column that holds `time`: timeAt(x) <= time < timeAt(x + 1),
    // exactly, also where the division rounds. Outside [0, length) it lies
    // outside [0, columns); it saturates at the ends of the int range.
    int xOf(double time) const;

private:
    qint64 m_length;
    int m_columns;
};
