#include "trace/timingstats.h"

#include <algorithm>

qint64 nearestRank(const std::vector<qint64> &sorted, int percent)
{
    if (sorted.empty())
        return 0;
    const qint64 n = qint64(sorted.size());
    const qint64 rank = (qint64(std::clamp(percent, 0, 100)) * n + 99) / 100;
    return sorted[size_t(std::clamp<qint64>(rank, 1, n) - 1)];
}

void TimingCollector::add(qint64 duration, EventRef where)
{
    if (m_samples.empty() || duration < m_stats.min) {
        m_stats.min = duration;
        m_stats.best = where;
    }
    if (m_samples.empty() || duration > m_stats.max) {
        m_stats.max = duration;
        m_stats.worst = where;
    }
    m_stats.total += duration;
    m_samples.push_back(duration);
}

TimingStats TimingCollector::take()
{
    TimingStats stats = m_stats;
    stats.count = count();
    if (!m_samples.empty()) {
        std::sort(m_samples.begin(), m_samples.end());
        stats.mean = double(stats.total) / double(stats.count);
        stats.p50 = nearestRank(m_samples, 50);
        stats.p95 = nearestRank(m_samples, 95);
        stats.p99 = nearestRank(m_samples, 99);
    }
    stats.samples = std::move(m_samples);
    m_samples = {};
    m_stats = {};
    return stats;
}
