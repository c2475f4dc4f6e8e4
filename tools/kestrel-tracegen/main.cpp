#include "tracegenerator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

namespace {

int fail(const QString &message)
{
    QTextStream(stderr) << QCoreApplication::applicationName() << QStringLiteral(": ") << message << Qt::endl;
    return 1;
}

QString seconds(qint64 ns)
{
    return QString::number(double(ns) / 1e9, 'f', 6);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrel-tracegen"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes a project of synthetic trace files for Kestrelview, one file per node."));
    parser.addHelpOption();
    const QCommandLineOption nodesOption(QStringLiteral("nodes"),
                                         QStringLiteral("Number of nodes, joined in a chain (default 3)."),
                                         QStringLiteral("N"), QStringLiteral("3"));
    const QCommandLineOption eventsOption(QStringLiteral("events"),
                                          QStringLiteral("Events per node (default 5000)."),
                                          QStringLiteral("N"), QStringLiteral("5000"));
    const QCommandLineOption seedOption(
        QStringLiteral("seed"), QStringLiteral("Seed; the same options write the same bytes (default 1)."),
        QStringLiteral("S"), QStringLiteral("1"));
    const QCommandLineOption outputOption(QStringLiteral("output"),
                                          QStringLiteral("Project directory to write; created when missing."),
                                          QStringLiteral("DIR"));
    parser.addOptions({nodesOption, eventsOption, seedOption, outputOption});
    parser.process(app);

    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().constFirst()));
    if (!parser.isSet(outputOption) || parser.value(outputOption).isEmpty())
        return fail(QStringLiteral("--output DIR is required (see --help)"));

    TraceGenerator::Options options;
    bool ok = false;
    options.nodes = parser.value(nodesOption).toInt(&ok);
    if (!ok)
        return fail(QStringLiteral("--nodes needs a number, not \"%1\"").arg(parser.value(nodesOption)));
    options.eventsPerNode = parser.value(eventsOption).toInt(&ok);
    if (!ok)
        return fail(QStringLiteral("--events needs a number, not \"%1\"").arg(parser.value(eventsOption)));
    options.seed = parser.value(seedOption).toULongLong(&ok);
    if (!ok)
        return fail(
            QStringLiteral("--seed needs a non-negative number, not \"%1\"").arg(parser.value(seedOption)));
    const QString problem = TraceGenerator::checkOptions(options);
    if (!problem.isEmpty())
        return fail(problem);

    const QString directory = parser.value(outputOption);
    TraceGenerator generator(options);
    if (!generator.generate(directory))
        return fail(generator.errorString());

    QTextStream out(stdout);
    for (const TraceGenerator::NodeSummary &s : generator.summaries()) {
        out << QDir(directory).filePath(s.fileName)
            << QStringLiteral(": node %1 \"%2\", ").arg(s.nodeId).arg(s.nodeName)
            << QStringLiteral("%1 events, clock %2-%3 s, counters %4/%5 Hz, ")
                   .arg(s.events)
                   .arg(seconds(s.firstClockNs), seconds(s.lastClockNs))
                   .arg(s.lowCounterHz)
                   .arg(s.highCounterHz)
            << QStringLiteral("packets sent %1 routed %2 received %3, %4 bytes")
                   .arg(s.packetsSent)
                   .arg(s.packetsRouted)
                   .arg(s.packetsReceived)
                   .arg(s.bytes)
            << Qt::endl;
    }
    return 0;
}
