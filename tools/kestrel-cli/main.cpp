// kestrel-cli: loads trace files exactly as the viewer does and exports what
// it derived, for scripts, reports and comparing runs.

#include "csvexport.h"
#include "exportcommand.h"
#include "statscommand.h"

#include "chart/chartimage.h"
#include "trace/eventcatalogue.h"
#include "trace/node.h"
#include "trace/projecttable.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

namespace {

const char description[] =
    "Loads Kestrelview trace files exactly as the viewer does (the files of one directory form one\n"
    "project, with every check) and writes what it derived to standard output.\n"
    "\n"
    "Commands:\n"
    "  events FILE     one CSV row per stored event, in order:\n"
    "                  index,timestamp,offset,logPosition,duration,logDuration,type,arg1,arg2,\n"
    "                  nodeId,currentTask,timecut,isMarker,flags\n"
    "                  times in microseconds; floats with 9 significant digits; flags is a 3-bit\n"
    "                  number: bit 0 catalogued type, bit 1 decoded, bit 2 nodeId has a value.\n"
    "  tasks FILE      id,name,role,executionTime,logExecutionTime,activationTime,share\n"
    "                  one row per task in ascending id; share in percent of the node's time.\n"
    "  hubs FILE       nodeId,id,name,listed,sendRequests,receiveRequests,sendKernelRequests,\n"
    "                  receiveKernelRequests: the node's own hubs (listed 1) by id, then the\n"
    "                  hubs of other nodes it addressed (listed 0) by node id and id.\n"
    "  summary FILE... per node: id, name, file, tasks, hubs, events, sync markers with their\n"
    "                  sequence range, and each task's share, as readable text.\n"
    "  render FILE... -o OUT.png\n"
    "                  draws the event chart a view of these nodes shows (rows aligned across\n"
    "                  nodes, fitted to the width, stored chart settings) into a PNG.\n"
    "                  --size WxH (default 1600x900), --log (logarithmic axis, one node only),\n"
    "                  --internal-header (row labels inside the rows), --range FROM:TO\n"
    "                  (microseconds of the aligned time axis, linear mode), --ruler (a time\n"
    "                  ruler above the rows, in the same image size), --overview (the whole\n"
    "                  time range, one band per node shaded by activity, with the range shown\n"
    "                  framed: below the ruler, above the rows).\n"
    "  stats FILE...   statistics tables as CSV, each with its header; --table NAME writes\n"
    "                  one of them, without it all four follow one another. Times are whole\n"
    "                  microseconds, percentiles by nearest rank; --range FROM:TO keeps the\n"
    "                  events whose offset (microseconds of each node's own axis) lies in\n"
    "                  [FROM, TO], as if they were selected in the event list.\n"
    "                  tasks: nodeId,taskId,name,activations,total,min,mean,max,p50,p95,p99,\n"
    "                  share - per activation, from the switch to the task to the switch away;\n"
    "                  total is the task's execution time, share in percent of the range.\n"
    "                  services: nodeId,service,name,calls,total,min,mean,max,p50,p95,p99 -\n"
    "                  request to the calling task's completion; calls without one are\n"
    "                  counted but not timed.\n"
    "                  interrupts: nodeId,interrupt,count,total,min,mean,max,p50,p95,p99 -\n"
    "                  per interrupt number (arg1), each lasting its event's time slice.\n"
    "                  packets: source,destination,hop,fromNode,toNode,packets,total,min,\n"
    "                  mean,max,p50,p95,p99 - latencies on the aligned clocks per route;\n"
    "                  hop 0 the whole route (sending to receiving), hop k the k-th link.\n"
    "  export FILE... --format FORMAT -o OUT\n"
    "                  the nodes of a view of these files on its aligned time axis\n"
    "                  (microseconds), into one file, written whole or not at all.\n"
    "                  --format chrome-json: Chrome trace-event JSON, a process per node,\n"
    "                  a thread per task, task activations as complete events with\n"
    "                  interrupts and service calls nested in them, markers as instant\n"
    "                  events, packet links as flows. --format sqlite: an SQLite database\n"
    "                  with the tables nodes, tasks, hubs, services, events and packets.\n"
    "\n"
    "CSV follows RFC 4180: a header row, CRLF line ends, fields quoted when needed.\n"
    "A file that fails to load, or an output that cannot be written: the viewer's warning text or\n"
    "the reason on standard error, exit status 2.\n"
    "Usage errors: exit status 1.";

int usageError(const QCommandLineParser &parser, const QString &text)
{
    std::fprintf(stderr, "%s\n\n%s", qPrintable(text), qPrintable(parser.helpText()));
    return 1;
}

// Only drawing needs a GUI application (fonts, pixmaps), and with it a
// platform plugin; the exports run anywhere, with no display.
std::unique_ptr<QCoreApplication> makeApplication(int &argc, char *argv[])
{
    bool render = false;
    for (int i = 1; i < argc && !render; ++i)
        render = std::strcmp(argv[i], "render") == 0;
    if (!render)
        return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

} // namespace

int main(int argc, char *argv[])
{
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrel-cli"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1String(description));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("events, tasks, hubs, summary, render, stats or export"));
    const QCommandLineOption outputOption({QStringLiteral("o"), QStringLiteral("output")},
                                          QStringLiteral("render, export: the file to write."),
                                          QStringLiteral("OUT"));
    const QCommandLineOption sizeOption(QStringLiteral("size"), QStringLiteral("render: image size."),
                                        QStringLiteral("WxH"), QStringLiteral("1600x900"));
    const QCommandLineOption logOption(QStringLiteral("log"),
                                       QStringLiteral("render: logarithmic time axis."));
    const QCommandLineOption internalOption(QStringLiteral("internal-header"),
                                            QStringLiteral("render: row labels inside the rows."));
    const QCommandLineOption rangeOption(QStringLiteral("range"),
                                         QStringLiteral("render: microseconds FROM:TO of the aligned axis; "
                                                        "stats: of each node's own axis."),
                                         QStringLiteral("FROM:TO"));
    const QCommandLineOption noDetailOption(
        QStringLiteral("no-level-of-detail"),
        QStringLiteral("render: draw every primitive (for comparisons)."));
    const QCommandLineOption rulerOption(QStringLiteral("ruler"),
                                         QStringLiteral("render: a time ruler above the rows."));
    const QCommandLineOption overviewOption(
        QStringLiteral("overview"), QStringLiteral("render: the overview strip of the whole time range."));
    const QCommandLineOption tableOption(QStringLiteral("table"),
                                         QStringLiteral("stats: tasks, services, interrupts or packets."),
                                         QStringLiteral("NAME"));
    const QCommandLineOption formatOption(
        QStringLiteral("format"), QStringLiteral("export: chrome-json or sqlite."), QStringLiteral("FORMAT"));
    parser.addOptions({outputOption, sizeOption, logOption, internalOption, rangeOption, noDetailOption,
                       rulerOption, overviewOption, tableOption, formatOption});
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("trace files"),
                                 QStringLiteral("FILE..."));
    parser.process(*app);

    const QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usageError(parser, QStringLiteral("No command given."));
    const QString command = args.first();
    const QStringList files = args.mid(1);
    const bool render = command == QLatin1String("render");
    const bool stats = command == QLatin1String("stats");
    const bool exporting = command == QLatin1String("export");
    const bool single = command != QLatin1String("summary") && !render && !stats && !exporting;
    if (command != QLatin1String("events") && command != QLatin1String("tasks") &&
        command != QLatin1String("hubs") && command != QLatin1String("summary") && !render && !stats &&
        !exporting) {
        return usageError(parser, QStringLiteral("Unknown command '%1'.").arg(command));
    }
    if (files.isEmpty() || (single && files.size() != 1))
        return usageError(parser, QStringLiteral("'%1' takes %2.")
                                      .arg(command, single ? QStringLiteral("one FILE")
                                                           : QStringLiteral("one or more FILEs")));

    std::optional<StatsCommand::OffsetWindow> statsWindow;
    const QString table = parser.value(tableOption);
    if (stats) {
        if (!table.isEmpty() && !StatsCommand::isTable(table))
            return usageError(parser,
                              QStringLiteral("--table takes tasks, services, interrupts or packets."));
        if (parser.isSet(rangeOption)) {
            const QStringList range = parser.value(rangeOption).split(QLatin1Char(':'));
            bool fromOk = false;
            bool toOk = false;
            statsWindow = StatsCommand::OffsetWindow{range.value(0).toLongLong(&fromOk),
                                                     range.value(1).toLongLong(&toOk)};
            if (range.size() != 2 || !fromOk || !toOk || statsWindow->from < 0 ||
                statsWindow->to <= statsWindow->from)
                return usageError(parser, QStringLiteral("--range takes FROM:TO with 0 <= FROM < TO."));
        }
    }

    const QString format = parser.value(formatOption);
    if (exporting && !ExportCommand::isFormat(format))
        return usageError(parser, QStringLiteral("'export' takes --format chrome-json or sqlite."));
    if (exporting && !parser.isSet(outputOption))
        return usageError(parser, QStringLiteral("'export' needs -o OUT."));

    ChartImageOptions imageOptions;
    if (render) {
        if (!parser.isSet(outputOption))
            return usageError(parser, QStringLiteral("'render' needs -o OUT.png."));
        const QStringList size = parser.value(sizeOption).split(QLatin1Char('x'));
        bool wOk = false;
        bool hOk = false;
        imageOptions.size = QSize(size.value(0).toInt(&wOk), size.value(1).toInt(&hOk));
        if (size.size() != 2 || !wOk || !hOk || imageOptions.size.width() < 1 ||
            imageOptions.size.height() < 1 || imageOptions.size.width() > 32768 ||
            imageOptions.size.height() > 32768)
            return usageError(parser, QStringLiteral("--size takes WxH, for example 1600x900."));
        imageOptions.logMode = parser.isSet(logOption);
        if (imageOptions.logMode && files.size() != 1)
            return usageError(parser, QStringLiteral("--log shows one node only."));
        imageOptions.externalHeader = !parser.isSet(internalOption);
        imageOptions.levelOfDetail = !parser.isSet(noDetailOption);
        imageOptions.ruler = parser.isSet(rulerOption);
        imageOptions.overview = parser.isSet(overviewOption);
        if (parser.isSet(rangeOption)) {
            const QStringList range = parser.value(rangeOption).split(QLatin1Char(':'));
            bool fromOk = false;
            bool toOk = false;
            imageOptions.from = range.value(0).toLongLong(&fromOk);
            imageOptions.to = range.value(1).toLongLong(&toOk);
            if (range.size() != 2 || !fromOk || !toOk || imageOptions.from < 0 ||
                imageOptions.to <= imageOptions.from)
                return usageError(parser, QStringLiteral("--range takes FROM:TO with 0 <= FROM < TO."));
            if (imageOptions.logMode)
                return usageError(parser, QStringLiteral("--range is for the linear axis."));
            imageOptions.hasRange = true;
        }
    }

    const EventCatalogue catalogue;
    ProjectTable projects;
    bool failed = false;
    QTextStream out(stdout);
    QList<Node *> nodes;
    for (const QString &file : files) {
        try {
            nodes.append(
                projects.load(QFileInfo(file).absoluteFilePath(), nullptr, FROM_CMDLINE, &catalogue));
        } catch (const QString &text) {
            std::fprintf(stderr, "%s\n", qPrintable(text));
            failed = true;
        }
    }

    if (render) {
        if (failed)
            return 2;
        imageOptions.catalogue = &catalogue;
        if (!renderChartImage(nodes, imageOptions).save(parser.value(outputOption), "PNG")) {
            std::fprintf(stderr, "Can't write '%s'.\n", qPrintable(parser.value(outputOption)));
            return 2;
        }
        return 0;
    }
    if (exporting) {
        if (failed)
            return 2;
        const QString error = ExportCommand::write(nodes, format, parser.value(outputOption));
        if (!error.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(error));
        return error.isEmpty() ? 0 : 2;
    }
    if (stats) {
        StatsCommand::write(out, nodes, table, statsWindow);
        out.flush();
        return failed ? 2 : 0;
    }
    for (const Node *node : std::as_const(nodes)) {
        if (command == QLatin1String("events"))
            CsvExport::writeEvents(out, *node);
        else if (command == QLatin1String("tasks"))
            CsvExport::writeTasks(out, *node);
        else if (command == QLatin1String("hubs"))
            CsvExport::writeHubs(out, *node);
        else
            CsvExport::writeSummary(out, *node);
    }
    out.flush();
    return failed ? 2 : 0;
}
