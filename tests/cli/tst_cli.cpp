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
    Run run;
    if (!process.waitForFinished(60000))
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// Splits RFC 4180 text into rows of fields.
QList<QStringList> parseCsv(const QByteArray &data)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    const QString text = QString::fromUtf8(data);
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            row.append(field);
            field.clear();
        } else if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
            row.append(field);
            rows.append(row);
            row.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    return rows;
}

QString fixture(const QString &name)
{
    return QFINDTESTDATA(QStringLiteral("fixtures/") + name);
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
        const Run run = cli({QStringLiteral("events"), fixture(QStringLiteral("small/alpha.trace"))});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.endsWith("\r\n"));
        const QList<QStringList> rows = parseCsv(run.out);
        QCOMPARE(rows.size(), 6);
        QCOMPARE(
            rows.at(0).join(QLatin1Char(',')),
            QStringLiteral("index,timestamp,offset,logPosition,duration,logDuration,type,arg1,arg2,nodeId,"
                           "currentTask,timecut,isMarker,flags"));
        // The switch to task 3 lasts until the next ordinary event at 150; the
        // user marker at 170 is no anchor, so the request at 150 lasts to 180.
        QCOMPARE(rows.at(1), (QStringList{QStringLiteral("0"), QStringLiteral("100"), QStringLiteral("0"),
                                          QStringLiteral("0"), QStringLiteral("50"), ln(50),
                                          QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("3"),
                                          QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("0"),
                                          QStringLiteral("0"), QStringLiteral("7")}));
        QCOMPARE(rows.at(2).mid(0, 6),
                 (QStringList{QStringLiteral("1"), QStringLiteral("150"), QStringLiteral("50"), ln(50),
                              QStringLiteral("30"), ln(30)}));
        const QStringList marker = rows.at(3);
        QCOMPARE(marker.at(2), QStringLiteral("70"));
        QCOMPARE(marker.at(4), QStringLiteral("0"));
        QCOMPARE(marker.at(7), QStringLiteral("9"));   // user value 1
        QCOMPARE(marker.at(9), QStringLiteral("1"));   // the node's own id
        QCOMPARE(marker.at(10), QStringLiteral("3"));  // the task that set it
        QCOMPARE(marker.at(11), QStringLiteral("70")); // task 3 has run 70 us
        QCOMPARE(marker.at(12), QStringLiteral("1"));
        QCOMPARE(rows.at(5).at(10), QStringLiteral("0"));
        QCOMPARE(rows.at(5).at(11), QStringLiteral("0"));
    }

    void tasksAreListedByIdWithRoleAndShare()
    {
        const Run run = cli({QStringLiteral("tasks"), fixture(QStringLiteral("small/alpha.trace"))});
        QCOMPARE(run.exitCode, 0);
        const QList<QStringList> rows = parseCsv(run.out);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0).join(QLatin1Char(',')),
                 QStringLiteral("id,name,role,executionTime,logExecutionTime,activationTime,share"));
        QCOMPARE(rows.at(1).mid(0, 4), (QStringList{QStringLiteral("0"), QStringLiteral("Kernel"),
                                                    QStringLiteral("KERNEL"), QStringLiteral("0")}));
        QCOMPARE(rows.at(2).mid(0, 4), (QStringList{QStringLiteral("3"), QStringLiteral("Worker, \"main\""),
                                                    QStringLiteral("USER_TASK"), QStringLiteral("100")}));
        QCOMPARE(rows.at(2).at(6), QStringLiteral("100"));
        QCOMPARE(rows.at(1).at(6), QStringLiteral("0"));
        QVERIFY(run.out.contains("\"Worker, \"\"main\"\"\""));
    }

    void hubsListOwnHubsThenOthersByNodeAndId()
    {
        const Run run = cli({QStringLiteral("hubs"), fixture(QStringLiteral("small/alpha.trace"))});
        QCOMPARE(run.exitCode, 0);
        const QList<QStringList> rows = parseCsv(run.out);
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows.at(0).join(QLatin1Char(',')),
                 QStringLiteral("nodeId,id,name,listed,sendRequests,receiveRequests,sendKernelRequests,"
                                "receiveKernelRequests"));
        QCOMPARE(rows.at(1).join(QLatin1Char(',')), QStringLiteral("1,1,Inbox,1,1,0,0,0"));
        QCOMPARE(rows.at(2).join(QLatin1Char(',')), QStringLiteral("1,2,Mailbox,1,0,0,0,0"));
        QCOMPARE(rows.at(3).join(QLatin1Char(',')), QStringLiteral("5,2,,0,1,0,0,0"));
    }

    void summaryDescribesEachNode()
    {
        const Run run = cli({QStringLiteral("summary"), fixture(QStringLiteral("small/alpha.trace"))});
        QCOMPARE(run.exitCode, 0);
        const QString text = QString::fromUtf8(run.out);
        QVERIFY2(text.contains(QLatin1String("Node [1] Alpha")), qPrintable(text));
        QVERIFY(text.contains(QLatin1String("Events:     5")));
        QVERIFY(text.contains(QLatin1String("SyncMarkes: 0 [0 - 0]")));
        QVERIFY(text.contains(QLatin1String("[3] Worker, \"main\": 100.00%")));
    }

    void failuresGiveTheViewersTextAndStatusTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        QTest::newRow("a missing file")
            << QStringList{QStringLiteral("events"),
                           QDir::tempPath() + QStringLiteral("/no-such-kestrel.trace")}
            << "Tracefile 'no-such-kestrel.trace' is not exist.\n";
        QTest::newRow("two files of one directory with one node id")
            << QStringList{QStringLiteral("summary"), fixture(QStringLiteral("clash/one.trace")),
                           fixture(QStringLiteral("clash/two.trace"))}
            << "Tracefile 'two.trace' has ID:4 that already is in use in current project.\n";
    }

    void failuresGiveTheViewersTextAndStatusTwo()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        const Run run = cli(arguments);
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(QString::fromUtf8(run.err), error);
    }

    void usageErrorsAreNotLoadFailures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("an unknown command") << QStringList{QStringLiteral("frobnicate"), QStringLiteral("x")};
        QTest::newRow("events of two files")
            << QStringList{QStringLiteral("events"), QStringLiteral("a"), QStringLiteral("b")};
    }

    void usageErrorsAreNotLoadFailures()
    {
        QFETCH(QStringList, arguments);
        QCOMPARE(cli(arguments).exitCode, 1);
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
