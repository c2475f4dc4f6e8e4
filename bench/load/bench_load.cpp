// Load benchmark: a large trace read by the trace scanner and by the XML
// reader alone, against the bare XML parse of the same file, how much
// memory a loaded event takes, and a project of four such traces loaded as
// one batch against the four loaded one by one. Prints figures and ratios
// measured side by side in one run; never fails a build.

#include "app/tracer.h"
#include "benchsupport.h"
#include "chart/paintindex.h"
#include "mainwindow/batchreader.h"
#include "trace/node.h"
#include "trace/project.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QXmlDefaultHandler>
#include <QXmlSimpleReader>

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
    qint64 peakKb = 0;     // peak resident growth during the load
    qint64 heldBytes = 0;  // what the event vector holds once loaded
    qint64 indexBytes = 0; // and the paint index, built when the node is first painted
};

// The whole load of a node as the program makes it, read in `mode`.
LoadResult fullLoad(const QString &path, const Tracer &tracer, Node::ReadMode mode)
{
    const qint64 before = statusKb("VmRSS:");
    resetPeak();
    QElapsedTimer timer;
    timer.start();
    try {
        const Node node(path, nullptr, FROM_TRACER, tracer.catalogue(), {}, mode);
        LoadResult result;
        result.seconds = timer.nsecsElapsed() / 1e9;
        result.events = node.eventCount();
        result.peakKb = statusKb("VmHWM:") - before;
        result.heldBytes = qint64(node.events().capacity()) * qint64(sizeof(TraceEvent));
        result.indexBytes = qint64(PaintIndex(node).heldBytes());
        return result;
    } catch (const QString &text) {
        qFatal("load failed: %s", qPrintable(text));
    }
}

// Loads the files as one batch, read in parallel and added in order, as the
// main window does; then closes their projects again.
double batchSeconds(const QStringList &paths, Tracer &tracer)
{
    QVector<BatchReader::Request> requests;
    for (const QString &path : paths)
        requests.append({path, FROM_TRACER});
    QElapsedTimer timer;
    timer.start();
    {
        BatchReader reader(requests, tracer.catalogue());
        for (int i = 0; i < paths.size(); ++i) {
            reader.waitFor(i, [] { return QEventLoop::AllEvents; });
            QString problem;
            if (!tracer.adoptNode(paths.at(i), reader.result(i), tracer.rootEntry(), FROM_TRACER, problem))
                qFatal("batch load failed: %s", qPrintable(problem));
        }
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    for (const QString &path : paths)
        tracer.removeProject(tracer.project(QFileInfo(path).absolutePath()));
    return seconds;
}

// Four nodes loaded together against the sum of their loads one by one, on
// as many cores as the machine has.
void compareBatch(QTextStream &out, Tracer &tracer, int events, int rounds)
{
    QTemporaryDir dir;
    BenchSupport::generateProject(QStringLiteral(TRACEGEN_PATH), dir.path(), 4, events);
    QStringList paths;
    for (int node = 1; node <= 4; ++node)
        paths << dir.path() + QStringLiteral("/node%1.trace").arg(node);
    QList<double> ratios;
    QList<double> together;
    QList<double> oneByOne;
    for (int i = 0; i < rounds; ++i) {
        double sum = 0;
        for (const QString &path : paths)
            sum += batchSeconds({path}, tracer);
        const double batch = batchSeconds(paths, tracer);
        oneByOne.append(sum);
        together.append(batch);
        ratios.append(batch / sum);
    }
    out << QStringLiteral("4 nodes one by one (sum):          %1 s\n")
               .arg(BenchSupport::median(oneByOne), 0, 'f', 3);
    out << QStringLiteral("4 nodes together:                  %1 s\n")
               .arg(BenchSupport::median(together), 0, 'f', 3);
    out << QStringLiteral(
               "together / one by one:             %1 (median of rounds, target <= 0.6 on 2 cores)\n")
               .arg(BenchSupport::median(ratios), 0, 'f', 3);
}

void printRate(QTextStream &out, const char *what, double seconds, double megabytes, int events)
{
    out << QStringLiteral("%1 %2 s  %3 MB/s  %4 events/s\n")
               .arg(QLatin1String(what), -33)
               .arg(seconds, 0, 'f', 3)
               .arg(megabytes / seconds, 0, 'f', 1)
               .arg(events / seconds, 0, 'f', 0);
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

    Tracer tracer;
    BenchSupport::startHeadless(tracer);
    QList<double> bare;
    QList<double> scanned;
    QList<double> xmlOnly;
    LoadResult last;
    LoadResult lastXml;
    // Interleaved, so that all three see the same machine load.
    for (int i = 0; i < rounds; ++i) {
        bare.append(bareParseSeconds(path));
        lastXml = fullLoad(path, tracer, Node::ReadMode::XmlReaderOnly);
        xmlOnly.append(lastXml.seconds);
        last = fullLoad(path, tracer, Node::ReadMode::ScanFirst);
        scanned.append(last.seconds);
    }
    if (last.events != lastXml.events)
        qFatal("the two reads disagree: %d and %d events", last.events, lastXml.events);
    const double bareS = BenchSupport::median(bare);
    const double scannedS = BenchSupport::median(scanned);
    const double xmlS = BenchSupport::median(xmlOnly);

    QTextStream out(stdout);
    out << "trace: " << last.events << " events, " << QString::number(megabytes, 'f', 1) << " MB, " << rounds
        << " rounds (medians)\n";
    printRate(out, "bare QXmlSimpleReader parse:", bareS, megabytes, last.events);
    printRate(out, "full load, XML reader only:", xmlS, megabytes, last.events);
    printRate(out, "full load, scanner first:", scannedS, megabytes, last.events);
    out << QStringLiteral("bare parse / scanner-first load:  %1 (target >= 3)\n")
               .arg(bareS / scannedS, 0, 'f', 2);
    out << QStringLiteral("XML-reader-only load / bare parse: %1\n").arg(xmlS / bareS, 0, 'f', 3);
    out << QStringLiteral("events held once loaded:           %1 bytes/event\n")
               .arg(double(last.heldBytes) / last.events, 0, 'f', 1);
    out << QStringLiteral("and with the paint index:          %1 bytes/event (target <= 64)\n")
               .arg(double(last.heldBytes + last.indexBytes) / last.events, 0, 'f', 1);
    out << QStringLiteral("peak resident growth, scanner:     %1 bytes/event\n")
               .arg(double(last.peakKb) * 1024.0 / last.events, 0, 'f', 1);
    out << QStringLiteral("peak resident growth, XML reader:  %1 bytes/event\n")
               .arg(double(lastXml.peakKb) * 1024.0 / lastXml.events, 0, 'f', 1);
    compareBatch(out, tracer, events, rounds);
    return 0;
}
