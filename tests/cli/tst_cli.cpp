#include "chart/chartmetrics.h"
#include "chart/overviewpainter.h"

#include <QtTest>

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

// Whether the images are the same but for a level of a colour channel here and there: the node
// rows' gradient rounds by where it lies on the surface.
bool nearlyEqual(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (qAbs(qRed(p) - qRed(q)) > 1 || qAbs(qGreen(p) - qGreen(q)) > 1 ||
                qAbs(qBlue(p) - qBlue(q)) > 1)
                return false;
        }
    }
    return true;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    // The exports of the small fixture, whole. Its task name holds a comma and quotes.
    void exportsWriteWhatTheViewerDerived_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("expected"); // fixtures/expected/alpha.<expected>; its line ends as written
        QTest::addColumn<QStringList>("options");
        QTest::newRow("events: one CSV row per stored event") << "events"
                                                              << "events.csv" << QStringList();
        QTest::newRow("tasks: by id, names quoted as RFC 4180 wants") << "tasks"
                                                                      << "tasks.csv" << QStringList();
        QTest::newRow("hubs: own hubs, then others by node and id") << "hubs"
                                                                    << "hubs.csv" << QStringList();
        QTest::newRow("summary: readable text") << "summary"
                                                << "summary.txt" << QStringList();
        // Two requests never completed: counted, not timed. The switch at the last event opens no time.
        QTest::newRow("stats: the four tables one after another, each with its header")
            << "stats"
            << "stats.csv" << QStringList();
        // Offsets 70 and 80: the marker and the second request; the time runs on to the switch at 100.
        QTest::newRow("stats --range: the events in it, the last one's slice included")
            << "stats"
            << "stats-range.csv"
            << QStringList{QStringLiteral("--range"), QStringLiteral("70:80"), QStringLiteral("--table"),
                           QStringLiteral("tasks")};
    }

    void exportsWriteWhatTheViewerDerived()
    {
        QFETCH(QString, command);
        QFETCH(QString, expected);
        QFETCH(QStringList, options);
        const QString trace = QFINDTESTDATA("fixtures/small/alpha.trace");
        const Run run = cli(QStringList{command, trace} + options);
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.exitCode, 0);
        QByteArray text = readAll(QFINDTESTDATA(QStringLiteral("fixtures/expected/alpha.") + expected));
        text.replace("%1", QFile::encodeName(QFileInfo(trace).absolutePath()));
        if (expected.endsWith(QLatin1String(".csv")))
            text.replace("\n", "\r\n");
        QCOMPARE(run.out, text);
    }

    void failuresExitWithTwoAndTheViewersTextUsageErrorsWithOne_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::newRow("a missing file")
            << QStringList{QStringLiteral("events"),
                           QDir::tempPath() + QStringLiteral("/no-such-kestrel.trace")}
            << 2 << QStringLiteral("Tracefile 'no-such-kestrel.trace' is not exist.\n");
        QTest::newRow("two files of one directory with one node id")
            << QStringList{QStringLiteral("summary"), QFINDTESTDATA("fixtures/clash/one.trace"),
                           QFINDTESTDATA("fixtures/clash/two.trace")}
            << 2
            << QStringLiteral("Tracefile 'two.trace' has ID:4 that already is in use in current project.\n");
        QTest::newRow("no command is a usage error") << QStringList{} << 1 << QString();
        QTest::newRow("an unknown command is a usage error")
            << QStringList{QStringLiteral("frobnicate"), QStringLiteral("x")} << 1 << QString();
        QTest::newRow("an unknown statistics table is a usage error")
            << QStringList{QStringLiteral("stats"), QStringLiteral("a"), QStringLiteral("--table"),
                           QStringLiteral("hubs")}
            << 1 << QString();
        QTest::newRow("an empty statistics range is a usage error")
            << QStringList{QStringLiteral("stats"), QStringLiteral("a"), QStringLiteral("--range"),
                           QStringLiteral("80:80")}
            << 1 << QString();
        QTest::newRow("events of two files is a usage error")
            << QStringList{QStringLiteral("events"), QStringLiteral("a"), QStringLiteral("b")} << 1
            << QString();
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

    void renderPutsTheStripsAboveTheRows_data()
    {
        QTest::addColumn<QStringList>("strips");
        QTest::addColumn<int>("rowsTop"); // pixels

        const int overview = OverviewPainter::heightFor(1);
        QTest::newRow("--ruler: the ruler's height")
            << QStringList{QStringLiteral("--ruler")} << ChartMetrics::rulerHeight;
        QTest::newRow("--overview: the strip's height for one node")
            << QStringList{QStringLiteral("--overview")} << overview;
        QTest::newRow("both: the ruler, the overview under it")
            << QStringList{QStringLiteral("--ruler"), QStringLiteral("--overview")}
            << ChartMetrics::rulerHeight + overview;
    }

    // In the same image size: the rows a picture without strips shows, moved down, under something
    // else.
    void renderPutsTheStripsAboveTheRows()
    {
        QFETCH(QStringList, strips);
        QFETCH(int, rowsTop);
        const QTemporaryDir dir;
        const QString trace = QFINDTESTDATA("fixtures/small/alpha.trace");
        const QStringList render{QStringLiteral("render"), trace, QStringLiteral("--size"),
                                 QStringLiteral("800x300"), QStringLiteral("-o")};
        QCOMPARE(cli(render + QStringList{dir.filePath(QStringLiteral("plain.png"))}).exitCode, 0);
        QCOMPARE(cli(render + QStringList{dir.filePath(QStringLiteral("strips.png"))} + strips).exitCode, 0);
        const QImage plain(dir.filePath(QStringLiteral("plain.png")));
        const QImage striped(dir.filePath(QStringLiteral("strips.png")));
        QCOMPARE(striped.size(), QSize(800, 300));
        QVERIFY(
            nearlyEqual(striped.copy(0, rowsTop, 800, 300 - rowsTop), plain.copy(0, 0, 800, 300 - rowsTop)));
        QVERIFY(striped.copy(0, 0, 800, rowsTop) != plain.copy(0, 0, 800, rowsTop));
    }

    void helpDocumentsEveryCommand()
    {
        const Run run = cli({QStringLiteral("--help")});
        QCOMPARE(run.exitCode, 0);
        for (const char *word : {"events FILE", "tasks FILE", "hubs FILE", "summary FILE", "stats FILE",
                                 "--overview", "exit status 2", "RFC 4180"})
            QVERIFY2(run.out.contains(word), word);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
