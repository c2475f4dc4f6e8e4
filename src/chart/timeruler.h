#pragma once

#include "chart/chartmapper.h"

#include <QList>
#include <QString>

class Node;

// One mark of the time ruler: x in the chart's coordinates (pixels, 0 at the
// chart's left edge) and the time it stands for, as read.
struct RulerTick
{
    int x = 0;
    QString label;
};

// The ticks a time ruler shows over the visible width [0, width) of a chart,
// at the mapper's scale, mode and scroll.
//
// Linear mode: ticks at whole multiples of a 1-2-5 step (1, 2, 5, 10 ...
// microseconds), the smallest that puts them at least minSpacing pixels
// apart, counted from time 0 of the aligned axis. Labels use the largest of
// us, ms and s in which the step is at least a tenth of the unit, with one
// decimal where the step is below the unit ("0.5 ms"), none otherwise.
//
// Logarithmic mode: ticks every minSpacing pixels from log position 0, each
// labelled with the time of `node` there, interpolated between the events
// around it, to three significant digits in the largest unit it reaches.
// Where the node has no time (no node, no events, past its last event) there
// is no tick.
class TimeRuler
{
public:
    static constexpr int minSpacing = 60; // pixels between ticks, at least

    TimeRuler(const ChartMapper &mapper, int width, const Node *node = nullptr);

    const QList<RulerTick> &ticks() const { return m_ticks; }
    // Microseconds between linear ticks; 0 in logarithmic mode or without ticks.
    qint64 step() const { return m_step; }

    // The linear step for `scale` pixels per microsecond; 0 for a scale that
    // is not a positive number.
    static qint64 stepFor(float scale);
    // A linear tick's label: `time` and `step` in microseconds.
    static QString linearLabel(qint64 time, qint64 step);
    // A logarithmic tick's label: `time` in microseconds.
    static QString logLabel(double time);
    // The node's time in microseconds at a logarithmic position; negative
    // where the node has no time.
    static double timeAtLogPosition(const Node &node, float units);

private:
    void addLinearTicks(const ChartMapper &mapper, int width);
    void addLogTicks(const ChartMapper &mapper, int width, const Node &node);

    QList<RulerTick> m_ticks;
    qint64 m_step = 0;
};
