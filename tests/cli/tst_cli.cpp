#include <QtTest>

#include <cmath>

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

// The CRLF-ended lines `command` writes for the small fixture; its error text when it fails.
QStringList linesOf(const char *command)
{
    const Run run = cli({QLatin1String(command), QFINDTESTDATA("fixtures/small/alpha.trace")});
    if (run.exitCode != 0 || !run.out.endsWith("\r\n"))
        return {QString::fromUtf8(run.err)};
    return QString::fromUtf8(run.out.chopped(2)).split(QStringLiteral("\r\n"));
}

QString ln(double value)
{
    return QString::number(double(std::log(float(value))), 'g', 9);
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void eventsListEveryStoredEventWithItsDerivedValues()
    {
        const QStringList rows = linesOf("events");
        QCOMPARE(rows.size(), 6);
        QCOMPARE(rows.at(0),
                 QStringLiteral("index,timestamp,offset,logPosition,duration,logDuration,type,arg1,"
                                "arg2,nodeId,currentTask,timecut,isMarker,flags"));
        // The switch to task 3 lasts until the next ordinary event at 150; the
        // user marker at 170 is no anchor, so the request at 150 lasts to 180.
        QCOMPARE(rows.at(1), QStringLiteral("0,100,0,0,50,%1,0,0,3,1,3,0,0,7").arg(ln(50)));
        QVERIFY2(rows.at(2).startsWith(QStringLiteral("1,150,50,%1,30,%2,").arg(ln(50), ln(30))),
                 qPrintable(rows.at(2)));
        // The user marker (value 1, arg1 9) at offset 70 us has no duration; node 1's task 3
        // set it after running 70 us. The last row has neither current task nor time cut.
        const QStringList marker = rows.at(3).split(u',');
        QStringList picked;
        for (const int field : {2, 4, 7, 9, 10, 11, 12})
            picked << marker.value(field);
        QCOMPARE(picked.join(u','), QStringLiteral("70,0,9,1,3,70,1"));
        QCOMPARE(rows.at(5).split(u',').mid(10, 2), (QStringList{QStringLiteral("0"), QStringLiteral("0")}));
    }

    void tasksAreListedByIdWithRoleAndShareAndQuotedNames()
    {
        const QStringList rows = linesOf("tasks");
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0),
                 QStringLiteral("id,name,role,executionTime,logExecutionTime,activationTime,share"));
        QVERIFY2(rows.at(1).startsWith(QLatin1String("0,Kernel,KERNEL,0,")) &&
                     rows.at(1).endsWith(QLatin1String(",0")),
                 qPrintable(rows.at(1)));
        // A name with a comma and quotes is quoted, its quotes doubled.
        QVERIFY2(rows.at(2).startsWith(QLatin1String("3,\"Worker, \"\"main\"\"\",USER_TASK,100,")) &&
                     rows.at(2).endsWith(QLatin1String(",100")),
                 qPrintable(rows.at(2)));
    }

    void hubsListOwnHubsThenOthersByNodeAndId()
    {
        QCOMPARE(linesOf("hubs"),
                 (QStringList{QStringLiteral("nodeId,id,name,listed,sendRequests,receiveRequests,"
                                             "sendKernelRequests,receiveKernelRequests"),
                              QStringLiteral("1,1,Inbox,1,1,0,0,0"), QStringLiteral("1,2,Mailbox,1,0,0,0,0"),
                              QStringLiteral("5,2,,0,1,0,0,0")}));
    }

    void summaryDescribesEachNode()
    {
        const Run run = cli({QStringLiteral("summary"), QFINDTESTDATA("fixtures/small/alpha.trace")});
        QCOMPARE(run.exitCode, 0);
        const QString text = QString::fromUtf8(run.out);
        for (const char *line :
             {"Node [1] Alpha", "Events:     5", "SyncMarkes: 0 [0 - 0]", "[3] Worker, \"main\": 100.00%"})
            QVERIFY2(text.contains(QLatin1String(line)), qPrintable(text));
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
        QTest::newRow("events of two files is a usage error")
            << QStringList{QStringLiteral("events"), QStringLiteral("a"), QStringLiteral("b")} << 1
            << QString();
    }

    void failuresExitWithTwoAndTheViewersTextUsageErrorsWithOne()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, error);
        const Run run = cli(arguments);
        QCOMPARE(run.exitCode, status);
        if (!error.isNull())
            QCOMPARE(QString::fromUtf8(run.err), error);
    }

    void helpDocumentsEveryCommand()
    {
        const Run run = cli({QStringLiteral("--help")});
        QCOMPARE(run.exitCode, 0);
        for (const char *word :
             {"events FILE", "tasks FILE", "hubs FILE", "summary FILE", "exit status 2", "RFC 4180"})
            QVERIFY2(run.out.contains(word), word);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
