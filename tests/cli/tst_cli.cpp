#include "chart/packetinputs.h"
#include "chart/viewroot.h"
#include "testsupport.h"
#include "trace/eventcatalogue.h"
#include "trace/node.h"
#include "trace/nodestatistics.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run cli(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(KESTREL_CLI_PATH), arguments);
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing ") + path.toUtf8();
}

// The SQL of the manual's example query `id`, as the reader copies it.
QString manualQuery(const QString &id)
{
    const QString page =
        QString::fromUtf8(readAll(QStringLiteral(KESTREL_SOURCE_DIR "/docs/manual/exports.html")));
    const QRegularExpression pre(QStringLiteral("<pre id=\"%1\">(.*?)</pre>").arg(id),
                                 QRegularExpression::DotMatchesEverythingOption);
    QString sql = pre.match(page).captured(1);
    return sql.replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
}

// Each row of `sql` run on `db` with `values` bound by name, as text fields.
QList<QStringList> rowsOf(const QSqlDatabase &db, const QString &sql, const QVariantMap &values = {})
{
    QSqlQuery query(db);
    if (!query.prepare(sql))
        return {{QStringLiteral("prepare failed")}};
    for (auto value = values.cbegin(); value != values.cend(); ++value)
        query.bindValue(value.key(), *value);
    if (!query.exec())
        return {{QStringLiteral("exec failed")}};
    QList<QStringList> rows;
    while (query.next()) {
        QStringList fields;
        for (int i = 0; i < query.record().count(); ++i)
            fields << query.value(i).toString();
        rows << fields;
    }
    return rows;
}

QString mean(double value)
{
    return QString::number(value, 'f', 6);
}

// The ten longest service call times of all nodes, longest first.
QList<QStringList> slowestCalls(const std::vector<std::unique_ptr<Node>> &nodes)
{
    std::vector<qint64> times;
    for (const auto &node : nodes) {
        for (const ServiceStatistics &row : serviceStatistics(*node, EventRange::whole(*node)))
            times.insert(times.end(), row.time.samples.begin(), row.time.samples.end());
    }
    std::sort(times.begin(), times.end(), std::greater<>());
    QList<QStringList> rows;
    for (size_t i = 0; i < std::min<size_t>(10, times.size()); ++i)
        rows << QStringList{QString::number(times[i])};
    return rows;
}

QList<QStringList> hopLatencies(const PacketStatistics &stats)
{
    QList<QStringList> rows;
    for (const PacketLegStatistics &leg : stats.legs) {
        QStringList row;
        for (const qint64 value :
             {qint64(leg.source), qint64(leg.destination), qint64(leg.hop), qint64(leg.fromNode),
              qint64(leg.toNode), qint64(leg.latency.count), leg.latency.min})
            row << QString::number(value);
        rows << row + QStringList{mean(leg.latency.mean), QString::number(leg.latency.max)};
    }
    return rows;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    // The exports of the small fixture, whole. Its task name holds a comma and quotes.
    void exportsWriteWhatTheViewerDerived_data()
    {
        // The command, its options after the trace, and after " > " the file under fixtures/expected
        // holding alpha's output, its line ends as written.
        QTest::addColumn<QString>("run");
        QTest::newRow("events: one CSV row per stored event") << "events > events.csv";
        QTest::newRow("tasks: by id, names quoted as RFC 4180 wants") << "tasks > tasks.csv";
        QTest::newRow("hubs: own hubs, then others by node and id") << "hubs > hubs.csv";
        QTest::newRow("summary: readable text") << "summary > summary.txt";
        // Two requests never completed: counted, not timed. The switch at the last event opens no time.
        QTest::newRow("stats: the four tables one after another, each with its header")
            << "stats > stats.csv";
        // Offsets 70 and 80: the marker and the second request; the time runs on to the switch at 100.
        QTest::newRow("stats --range: the events in it, the last one's slice included")
            << "stats --range 70:80 --table tasks > stats-range.csv";
    }

    void exportsWriteWhatTheViewerDerived()
    {
        QFETCH(QString, run);
        const QString trace = QFINDTESTDATA("fixtures/small/alpha.trace");
        const QString expected = run.section(QLatin1String(" > "), 1);
        QStringList arguments = run.section(QLatin1String(" > "), 0, 0).split(QLatin1Char(' '));
        arguments.insert(1, trace);
        const Run ran = cli(arguments);
        QCOMPARE(ran.err, QByteArray());
        QCOMPARE(ran.exitCode, 0);
        QByteArray text = readAll(QFINDTESTDATA(QStringLiteral("fixtures/expected/alpha.") + expected));
        text.replace("%1", QFile::encodeName(QFileInfo(trace).absolutePath()));
        if (expected.endsWith(QLatin1String(".csv")))
            text.replace("\n", "\r\n");
        QCOMPARE(ran.out, text);
    }

    void failuresExitWithTwoAndTheViewersTextUsageErrorsWithOne_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        const auto split = [](const char *arguments) {
            return QString::fromLatin1(arguments).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        };
        QTest::newRow("a missing file")
            << QStringList{QStringLiteral("events"),
                           QDir::tempPath() + QStringLiteral("/no-such-kestrel.trace")}
            << 2 << QStringLiteral("Tracefile 'no-such-kestrel.trace' is not exist.\n");
        QTest::newRow("two files of one directory with one node id")
            << QStringList{QStringLiteral("summary"), QFINDTESTDATA("fixtures/clash/one.trace"),
                           QFINDTESTDATA("fixtures/clash/two.trace")}
            << 2
            << QStringLiteral("Tracefile 'two.trace' has ID:4 that already is in use in current project.\n");
        QTest::newRow("no command is a usage error") << split("") << 1 << QString();
        QTest::newRow("an unknown command is a usage error") << split("frobnicate x") << 1 << QString();
        QTest::newRow("an unknown statistics table is a usage error")
            << split("stats a --table hubs") << 1 << QString();
        QTest::newRow("an empty statistics range is a usage error")
            << split("stats a --range 80:80") << 1 << QString();
        QTest::newRow("an export in an unknown format is a usage error")
            << split("export a --format xml -o b") << 1 << QString();
        QTest::newRow("an export without an output is a usage error")
            << split("export a --format sqlite") << 1 << QString();
        QTest::newRow("events of two files is a usage error") << split("events a b") << 1 << QString();
    }

    void failuresExitWithTwoAndTheViewersTextUsageErrorsWithOne()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        const Run run = cli(arguments);
        QTEST(run.exitCode, "status");
        if (!error.isNull())
            QCOMPARE(QString::fromUtf8(run.err), error);
    }

    // Each strip option reaches the picture, in the same image size; how the strips look, the golden
    // images of the same drawing tell.
    void renderDrawsTheStripsItIsAskedFor()
    {
        const QTemporaryDir dir;
        const QStringList render{QStringLiteral("render"), QFINDTESTDATA("fixtures/small/alpha.trace"),
                                 QStringLiteral("--size"), QStringLiteral("800x300"), QStringLiteral("-o")};
        const QString ruler = QStringLiteral("--ruler");
        const QString overview = QStringLiteral("--overview");
        QList<QImage> images;
        for (const QStringList &strips :
             {QStringList(), QStringList{ruler}, QStringList{overview}, QStringList{ruler, overview}}) {
            const QString path = dir.filePath(QStringLiteral("%1.png").arg(images.size()));
            QCOMPARE(cli(render + QStringList{path} + strips).exitCode, 0);
            images << QImage(path);
            QCOMPARE(images.last().size(), QSize(800, 300));
            QVERIFY2(images.indexOf(images.last()) == images.size() - 1, qPrintable(strips.join(u' ')));
        }
    }

    // A failed export leaves the output folder as it was: no part of the
    // file, no temporary, the file already at the target unchanged.
    void exportWritesWholeOrNothing_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("trace");
        QTest::addColumn<QString>("output"); // in a folder holding "old.out" and the folder "sub"
        const QString alpha = QFINDTESTDATA("fixtures/small/alpha.trace");
        const QString missing = QDir::tempPath() + QStringLiteral("/no-such-kestrel.trace");
        for (const char *format : {"chrome-json", "sqlite"}) {
            const QString name = QLatin1String(format);
            QTest::addRow("%s: into a folder that does not exist", format) << name << alpha << "none/x.out";
            QTest::addRow("%s: onto a folder", format) << name << alpha << "sub";
        }
        // The files are loaded before the format is looked at.
        QTest::newRow("a file that fails to load") << QStringLiteral("sqlite") << missing << "old.out";
    }

    void exportWritesWholeOrNothing()
    {
        QFETCH(QString, format);
        QFETCH(QString, trace);
        QFETCH(QString, output);
        const QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
        QFile old(dir.filePath(QStringLiteral("old.out")));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        const QMap<QString, QByteArray> before = TestSupport::filesUnder(dir.path());
        const Run run = cli({QStringLiteral("export"), trace, QStringLiteral("--format"), format,
                             QStringLiteral("-o"), dir.filePath(output)});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(!run.err.isEmpty());
        QCOMPARE(TestSupport::filesUnder(dir.path()), before);
    }

    // The manual's example queries on the demo project give the statistics' figures.
    // Only the call times of the slowest calls are compared: of equal ones the order is the query's.
    void manualQueriesGiveTheStatistics()
    {
        const EventCatalogue catalogue;
        std::vector<std::unique_ptr<Node>> nodes;
        ViewRoot root;
        QStringList files;
        for (const QFileInfo &file :
             QDir(QStringLiteral(KESTREL_SOURCE_DIR "/demo"))
                 .entryInfoList({QStringLiteral("*.trace")}, QDir::Files, QDir::Name)) {
            files << file.absoluteFilePath();
            nodes.push_back(
                std::make_unique<Node>(file.absoluteFilePath(), nullptr, FROM_CMDLINE, &catalogue));
            root.addViewedNode(nodes.back().get());
        }
        QVERIFY(nodes.size() > 1);
        const QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("demo.db"));
        const Run run = cli(
            QStringList{QStringLiteral("export")} + files +
            QStringList{QStringLiteral("--format"), QStringLiteral("sqlite"), QStringLiteral("-o"), path});
        QCOMPARE(run.exitCode, 0);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("queries"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QList<QStringList> calls = rowsOf(db, manualQuery(QStringLiteral("query-slowest-calls")));
            for (QStringList &row : calls)
                row = row.mid(6);
            QCOMPARE(calls, slowestCalls(nodes));
            QList<QStringList> hops = rowsOf(db, manualQuery(QStringLiteral("query-hop-latency")));
            for (QStringList &row : hops)
                row[7] = mean(row.value(7).toDouble());
            QCOMPARE(hops, hopLatencies(packetStatistics(packetInputs(root))));
            const QString percentiles = manualQuery(QStringLiteral("query-task-percentiles"));
            for (const auto &node : nodes) {
                for (const TaskStatistics &task : taskStatistics(*node, EventRange::whole(*node))) {
                    const TimingStats &a = task.activations;
                    if (a.count == 0)
                        continue;
                    QCOMPARE(rowsOf(db, percentiles,
                                    {{QStringLiteral(":node"), task.nodeId},
                                     {QStringLiteral(":task"), task.taskId}}),
                             (QList<QStringList>{{QString::number(a.count), QString::number(a.total),
                                                  QString::number(a.p50), QString::number(a.p95),
                                                  QString::number(a.p99)}}));
                }
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("queries"));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
