#pragma once

#include <QtGlobal>

#include <vector>

// Where one instance of a measured duration lies: an event of a node.
struct EventRef
{
    int nodeId = 0;
    int eventIndex = -1; // -1: no instance
};

// Summary of a set of durations, all in microseconds. Percentiles follow the
// nearest-rank rule (see nearestRank()). `best` and `worst` are the instances
// with the smallest and the largest duration; of equal ones the first added.
// Without samples every figure is 0 and both references have eventIndex -1.
struct TimingStats
{
    int count = 0;
    qint64 total = 0;
    qint64 min = 0;
    double mean = 0;
    qint64 max = 0;
    qint64 p50 = 0;
    qint64 p95 = 0;
    qint64 p99 = 0;
    EventRef best;
    EventRef worst;
    std::vector<qint64> samples; // every duration, ascending: what a histogram of them needs
};

// The nearest-rank percentile of ascending `sorted`: the value at rank
// ceil(percent / 100 * N), counted from 1, at least rank 1. So p50 of two
// samples is the smaller one and p100 the largest. 0 for no samples;
// `percent` is held to 0..100.
qint64 nearestRank(const std::vector<qint64> &sorted, int percent);

// Gathers durations in the order they occur and summarises them.
class TimingCollector
{
public:
    void add(qint64 duration, EventRef where);
    int count() const { return int(m_samples.size()); }
    // Sorts the gathered samples; the collector is left empty.
    TimingStats take();

private:
    std::vector<qint64> m_samples;
    TimingStats m_stats;
};
