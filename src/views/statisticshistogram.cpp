#include "views/statisticshistogram.h"

#include <QAreaSeries>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

HistogramBins histogramBins(const std::vector<qint64> &samples, int maxBins)
{
    HistogramBins bins;
    if (samples.empty())
        return bins;
    bins.start = samples.front();
    const qint64 span = samples.back() - samples.front() + 1;
    const qint64 wanted =
        std::clamp<qint64>(qint64(std::ceil(std::sqrt(double(samples.size())))), 1, std::max(maxBins, 1));
    bins.width = std::max<qint64>(1, (span + wanted - 1) / wanted);
    bins.counts.fill(0, int((span + bins.width - 1) / bins.width));
    for (const qint64 sample : samples)
        ++bins.counts[int((sample - bins.start) / bins.width)];
    return bins;
}

StatisticsHistogram::StatisticsHistogram(QWidget *parent)
    : QChartView(parent)
{
    chart()->legend()->hide();
    chart()->setAnimationOptions(QChart::NoAnimation);
    setMinimumHeight(180);
}

void StatisticsHistogram::showSamples(const QString &title, const std::vector<qint64> &samples)
{
    m_bins = histogramBins(samples);
    QChart *chart = this->chart();
    chart->removeAllSeries();
    for (QAbstractAxis *axis : chart->axes())
        chart->removeAxis(axis);
    chart->setTitle(title);
    if (m_bins.counts.isEmpty())
        return;

    // A stepped outline over the bins, filled down to 0: the time axis stays
    // a real microsecond scale with round ticks, which bar categories are not.
    // The area series does not own its outline: parented to it, the outline
    // goes when removeAllSeries() deletes the area.
    auto *series = new QAreaSeries;
    auto *outline = new QLineSeries(series);
    outline->append(qreal(m_bins.start), 0);
    for (int bin = 0; bin < m_bins.counts.size(); ++bin) {
        const qreal left = qreal(m_bins.start + bin * m_bins.width);
        outline->append(left, m_bins.counts.at(bin));
        outline->append(left + qreal(m_bins.width), m_bins.counts.at(bin));
    }
    outline->append(qreal(m_bins.start + m_bins.counts.size() * m_bins.width), 0);
    series->setUpperSeries(outline);
    series->setColor(QColor(0x80, 0x80, 0xff));
    series->setBorderColor(QColor(0x40, 0x40, 0xc0));
    chart->addSeries(series);

    auto *x = new QValueAxis;
    x->setRange(qreal(m_bins.start), qreal(m_bins.start + m_bins.counts.size() * m_bins.width));
    x->setLabelFormat(QStringLiteral("%.0f"));
    x->setTitleText(QStringLiteral("µs (bins of %1 µs)").arg(m_bins.width));
    x->applyNiceNumbers();
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    auto *y = new QValueAxis;
    y->setRange(0, *std::max_element(m_bins.counts.cbegin(), m_bins.counts.cend()));
    y->applyNiceNumbers();
    y->setLabelFormat(QStringLiteral("%d"));
    y->setTitleText(QStringLiteral("count"));
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
}
