// Load benchmark: how much the node model adds to the bare XML parse of a
// large trace, and how much memory a loaded event takes. Prints figures and
// ratios measured side by side in one run; never fails a build.

#include "app/tracer.h"
#include "benchsupport.h"
#include "trace/node.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTreeWidgetItem>
#include <QXmlDefaultHandler>
#include <QXmlSimpleReader>

#include <algorithm>
#include <cstdio>

namespace {

// Kernel-reported resident set figures of this process, in kB.
qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Lets VmHWM measure the peak of what follows rather than of the whole run.
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

double bareParseSeconds(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("cannot open %s", qPrintable(path));
    QXmlDefaultHandler handler;
    QXmlSimpleReader reader;
    reader.setContentHandler(&handler);
    reader.setErrorHandler(&handler);
    QXmlInputSource source(&file);
    QElapsedTimer timer;
    timer.start();
    if (!reader.parse(&source, false))
        qFatal("bare parse failed");
    return timer.nsecsElapsed() / 1e9;
}

struct LoadResult
{
    double seconds = 0;
    int events = 0;
    qint64 peakKb = 0;    // peak resident growth during the load
    qint64 heldBytes = 0; // what the event vector holds once loaded
};

LoadResult fullLoad(const QString &path)
{
    Tracer tracer;
    BenchSupport::startHeadless(tracer);
    const qint64 before = statusKb("VmRSS:");
    resetPeak();
    QElapsedTimer timer;
    timer.start();
    Node *node = tracer.createNode(path, tracer.rootEntry(), FROM_TRACER);
    LoadResult result;
    result.seconds = timer.nsecsElapsed() / 1e9;
    if (!node)
        qFatal("load failed");
    result.events = node->eventCount();
    result.peakKb = statusKb("VmHWM:") - before;
    result.heldBytes = qint64(node->events().capacity()) * qint64(sizeof(TraceEvent));
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    const auto [events, rounds] = BenchSupport::setUp(argc, argv, 3);
    QApplication app(argc, argv);

    QTemporaryDir dir;
    BenchSupport::generateProject(QStringLiteral(TRACEGEN_PATH), dir.path(), 1, events);
    const QString path = dir.path() + QStringLiteral("/node1.trace");
    const double megabytes = QFileInfo(path).size() / 1e6;

    QList<double> bare;
    QList<double> full;
    LoadResult last;
    // Interleaved, so that both see the same machine load.
    for (int i = 0; i < rounds; ++i) {
        bare.append(bareParseSeconds(path));
        last = fullLoad(path);
        full.append(last.seconds);
    }
    const double bareS = BenchSupport::median(bare);
    const double fullS = BenchSupport::median(full);

    QTextStream out(stdout);
    out << "trace: " << last.events << " events, " << QString::number(megabytes, 'f', 1) << " MB, " << rounds
        << " rounds (medians)\n";
    out << QStringLiteral("bare QXmlSimpleReader parse: %1 s  %2 MB/s  %3 events/s\n")
               .arg(bareS, 0, 'f', 3)
               .arg(megabytes / bareS, 0, 'f', 1)
               .arg(last.events / bareS, 0, 'f', 0);
    out << QStringLiteral("full load (createNode):      %1 s  %2 MB/s  %3 events/s\n")
               .arg(fullS, 0, 'f', 3)
               .arg(megabytes / fullS, 0, 'f', 1)
               .arg(last.events / fullS, 0, 'f', 0);
    out << QStringLiteral("full load / bare parse:      %1 (target <= 1.25)\n").arg(fullS / bareS, 0, 'f', 3);
    out << QStringLiteral("events held once loaded:     %1 bytes/event (target <= 64)\n")
               .arg(double(last.heldBytes) / last.events, 0, 'f', 1);
    out << QStringLiteral("peak resident growth:        %1 bytes/event\n")
               .arg(double(last.peakKb) * 1024.0 / last.events, 0, 'f', 1);
    return 0;
}
