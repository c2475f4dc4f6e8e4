#pragma once

#include "app/tracer.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>

// Shared by the benchmarks: traces from kestrel-tracegen, and medians.
namespace BenchSupport {

// Writes a project of `nodes` trace files (node1.trace, ...) of `events`
// events each into `dir`; returns `dir`.
inline QString generateProject(const QString &tracegen, const QString &dir, int nodes, int events)
{
    const int rc = QProcess::execute(tracegen, {QStringLiteral("--nodes"), QString::number(nodes),
                                                QStringLiteral("--events"), QString::number(events),
                                                QStringLiteral("--output"), dir});
    if (rc != 0)
        qFatal("kestrel-tracegen failed");
    return dir;
}

// The command line every benchmark takes: [events] [rounds].
struct Arguments
{
    int events;
    int rounds;
};

// Call before the QApplication exists: benchmarks paint off screen unless a
// platform is asked for.
inline Arguments setUp(int argc, char *argv[], int defaultRounds)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return Arguments{argc > 1 ? QByteArray(argv[1]).toInt() : 1000000,
                     argc > 2 ? QByteArray(argv[2]).toInt() : defaultRounds};
}

// A controller without windows whose every message is fatal: a benchmark
// that cannot load its trace has nothing to measure.
inline void startHeadless(Tracer &tracer)
{
    tracer.initHeadless();
    tracer.setMessageSink([](QMessageBox::Icon, const QString &text) { qFatal("%s", qPrintable(text)); });
}

inline double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace BenchSupport
