#include <QtTest>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
};

// The program with a platform plugin that does not exist: whatever it prints,
// it prints without opening a display.
Run run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("none"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(30000))
        return {};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput())};
}

QStringList captures(const QString &text, const QString &pattern)
{
    QStringList found;
    for (const auto &match :
         QRegularExpression(pattern, QRegularExpression::MultilineOption).globalMatch(text))
        found << match.captured(1);
    found.removeDuplicates();
    found.sort();
    return found;
}

// The option names of a --help text: "  -h, --help  Displays ..." and "  --nodes <N>  ...".
QStringList helpOptions(const QString &help)
{
    QStringList options = captures(help, QStringLiteral("^\\s+(-[^\\s,]+)")) +
                          captures(help, QStringLiteral("^\\s+-[^\\s,]+, (--[^\\s,]+)"));
    options.removeDuplicates();
    options.sort();
    return options;
}

// The option names in the tags of a page's ".TP" paragraphs, with roff's
// escaped dashes and font changes taken out.
QStringList pageOptions(const QString &page)
{
    static const QRegularExpression name(QStringLiteral("(?<![\\w-])--?[A-Za-z][\\w-]*"));
    QStringList options;
    const QStringList lines = page.split(QLatin1Char('\n'));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines.at(i - 1) != QLatin1String(".TP"))
            continue;
        QString tag = lines.at(i);
        tag.replace(QLatin1String("\\-"), QLatin1String("-"));
        tag.remove(QRegularExpression(QStringLiteral("\\\\f[BIRP]")));
        for (auto match = name.globalMatch(tag); match.hasNext();)
            options << match.next().captured();
    }
    options.removeDuplicates();
    options.sort();
    return options;
}

} // namespace

class TestManPages : public QObject
{
    Q_OBJECT

private slots:
    void pageAndHelpNameTheSameOptions_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("mentions"); // what --help must say besides the options
        QTest::newRow("the viewer answers --help without a display, as its page says")
            << QStringLiteral(KESTRELVIEW_PATH) << QStringLiteral("kestrelview.1") << QStringList();
        QTest::newRow("the generator's page covers Qt's own --help-all too")
            << QStringLiteral(KESTREL_TRACEGEN_PATH) << QStringLiteral("kestrel-tracegen.1") << QStringList();
        QTest::newRow("the exporter's page names its commands too; --help its exit statuses and CSV rules")
            << QStringLiteral(KESTREL_CLI_PATH) << QStringLiteral("kestrel-cli.1")
            << QStringList{QStringLiteral("exit status 2"), QStringLiteral("RFC 4180")};
    }

    void pageAndHelpNameTheSameOptions()
    {
        QFETCH(QString, program);
        QFETCH(QString, page);
        QFile file(QStringLiteral(KESTREL_MAN_DIR "/") + page);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        const QString text = QString::fromUtf8(file.readAll());
        const Run help = run(program, {QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        const QStringList listed = helpOptions(help.out);
        QVERIFY(listed.contains(QStringLiteral("--help")));
        QCOMPARE(pageOptions(text), listed);
        QCOMPARE(captures(text, QStringLiteral("^\\.BI (\\w+) \"? FILE")),
                 captures(help.out, QStringLiteral("^  (\\w+) FILE")));
        QFETCH(QStringList, mentions);
        for (const QString &mention : std::as_const(mentions))
            QVERIFY2(help.out.contains(mention), qPrintable(mention));
    }

    // Checked wherever the option stands: a request among file paths is answered, and the files are not
    // opened. The package check asks the installed viewer for --version on its own.
    void viewerAnswersVersionWithoutADisplay()
    {
        const Run version =
            run(QStringLiteral(KESTRELVIEW_PATH), {QStringLiteral("missing.trace"), QStringLiteral("-v")});
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, QStringLiteral("kestrelview " KESTREL_VERSION "\n"));
    }
};

QTEST_GUILESS_MAIN(TestManPages)
#include "tst_manpages.moc"
