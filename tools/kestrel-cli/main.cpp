// kestrel-cli: loads trace files exactly as the viewer does and exports what
// it derived, for scripts, reports and comparing runs.

#include "csvexport.h"

#include "app/tracer.h"
#include "trace/node.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTreeWidgetItem>

#include <cstdio>

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
    "\n"
    "CSV follows RFC 4180: a header row, CRLF line ends, fields quoted when needed.\n"
    "A file that fails to load: the viewer's warning text on standard error, exit status 2.\n"
    "Usage errors: exit status 1.";

int usageError(const QCommandLineParser &parser, const QString &text)
{
    std::fprintf(stderr, "%s\n\n%s", qPrintable(text), qPrintable(parser.helpText()));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    // Loading builds the icon catalogues, which need a GUI application; no
    // window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestrel-cli"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1String(description));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("events, tasks, hubs or summary"));
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("trace files"),
                                 QStringLiteral("FILE..."));
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usageError(parser, QStringLiteral("No command given."));
    const QString command = args.first();
    const QStringList files = args.mid(1);
    const bool single = command != QLatin1String("summary");
    if (command != QLatin1String("events") && command != QLatin1String("tasks") &&
        command != QLatin1String("hubs") && command != QLatin1String("summary")) {
        return usageError(parser, QStringLiteral("Unknown command '%1'.").arg(command));
    }
    if (files.isEmpty() || (single && files.size() != 1))
        return usageError(parser, QStringLiteral("'%1' takes %2.")
                                      .arg(command, single ? QStringLiteral("one FILE")
                                                           : QStringLiteral("one or more FILEs")));

    Tracer tracer;
    tracer.initHeadless();
    bool failed = false;
    tracer.setMessageSink([&failed](QMessageBox::Icon, const QString &text) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        failed = true;
    });

    QTextStream out(stdout);
    QList<Node *> nodes;
    for (const QString &file : files) {
        if (Node *node =
                tracer.createNode(QFileInfo(file).absoluteFilePath(), tracer.rootEntry(), FROM_CMDLINE))
            nodes.append(node);
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
