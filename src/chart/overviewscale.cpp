#include "chart/overviewscale.h"

#include "chart/timescale.h"

#include <cmath>
#include <limits>

OverviewScale::OverviewScale(qint64 length, int columns)
    : m_length(qMax<qint64>(1, length))
    , m_columns(qMax(1, columns))
{}

int OverviewScale::xOf(double time) const
{
    const double estimate = std::floor(time * double(m_columns) / double(m_length));
    int x = TimeScaleDetail::toPixel(estimate);
    // The product and quotient round: the estimate may be one column off
    // either way, which the round trip through timeAt would show.
    if (x < std::numeric_limits<int>::max() && timeAt(double(x) + 1.0) <= time)
        ++x;
    else if (x > std::numeric_limits<int>::min() && timeAt(double(x)) > time)
        --x;
    return x;
}
