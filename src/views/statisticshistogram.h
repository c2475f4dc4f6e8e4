#pragma once

#include <QChartView>
#include <QVector>

#include <vector>

// How many samples fall into each of equal bins from `start` on, microseconds.
struct HistogramBins
{
    qint64 start = 0;
    qint64 width = 1; // microseconds, at least 1
    QVector<int> counts;
};

// Whole-microsecond bins over ascending `samples`, about the square root of
// their count of them (at least 1, at most `maxBins`); none without samples.
HistogramBins histogramBins(const std::vector<qint64> &samples, int maxBins = 40);

// How a statistics row's durations spread: the instances per bin over a
// time axis in microseconds.
class StatisticsHistogram : public QChartView
{
    Q_OBJECT
public:
    explicit StatisticsHistogram(QWidget *parent = nullptr);

    // Shows the ascending `samples` under `title`; an empty chart without any.
    void showSamples(const QString &title, const std::vector<qint64> &samples);
    // The bins shown last.
    const HistogramBins &bins() const { return m_bins; }

private:
    HistogramBins m_bins;
};
