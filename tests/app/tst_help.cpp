#include "app/helpviewer.h"
#include "app/tracer.h"

#include <QtTest>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>
#include <vector>

namespace {

// A stand-in for Assistant: notes every start with its arguments, then keeps
// what it is sent on its standard input until that input is closed.
QByteArray standInScript(const QString &logDir, const QByteArray &interpreter = "/bin/sh")
{
    const QByteArray log = QFile::encodeName(logDir);
    return "#!" + interpreter +
           "\n"
           "{ printf 'start %s\\n' \"$0\"; for a in \"$@\"; do printf 'arg %s\\n' \"$a\"; done; } >> '" +
           log +
           "/starts'\n"
           "exec cat >> '" +
           log + "/input'\n";
}

void writeFile(const QString &path, const QByteArray &contents, bool executable = false)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(contents);
    file.close();
    if (executable)
        QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList lines(const QString &path)
{
    return QString::fromLocal8Bit(readAll(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Where a collection is put: in the product tree beside the program, or in
// the program's own directory.
enum Place { PRODUCT_TREE = 1, PROGRAM_DIR = 2 };

} // namespace

class TestHelp : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::vector<std::unique_ptr<HelpViewer>> m_viewers;

    QString path(const QString &relative) const { return m_dir->filePath(relative); }
    QString programDir() const { return path(QStringLiteral("product/bin")); }
    QString collectionAt(int place) const
    {
        return place == PRODUCT_TREE ? path(QStringLiteral("product/targets/share/doc/Corvos.qhc"))
                                     : path(QStringLiteral("product/bin/Corvos.qhc"));
    }
    QString searchDir() const { return path(QStringLiteral("search")); }
    QString qtBinDir() const { return path(QStringLiteral("qtbin")); }
    QString startsLog() const { return path(QStringLiteral("log/starts")); }
    QString inputLog() const { return path(QStringLiteral("log/input")); }

    void putCollections(int places)
    {
        for (const int place : {PRODUCT_TREE, PROGRAM_DIR}) {
            if (places & place)
                writeFile(collectionAt(place), "collection");
        }
    }

    void putStandIn(const QString &directory, const QByteArray &interpreter = "/bin/sh")
    {
        writeFile(directory + QStringLiteral("/assistant"),
                  standInScript(path(QStringLiteral("log")), interpreter), true);
    }

    // A viewer steered into the test's directories, failures collected in `messages`.
    HelpViewer *makeViewer(QStringList *messages)
    {
        m_viewers.push_back(std::make_unique<HelpViewer>());
        HelpViewer *viewer = m_viewers.back().get();
        viewer->setProgramDir(programDir());
        viewer->setSearchPath({searchDir()});
        viewer->setQtBinariesDir(qtBinDir());
        viewer->setMessageSink([messages](const QString &text) { messages->append(text); });
        return viewer;
    }

    // Closes the stand-in's input, so that it ends and everything sent has reached the log.
    static void finish(HelpViewer *viewer)
    {
        viewer->process()->closeWriteChannel();
        QVERIFY(viewer->process()->waitForFinished(10000));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir().mkpath(programDir()));
        QVERIFY(QDir().mkpath(searchDir()));
        QVERIFY(QDir().mkpath(qtBinDir()));
        QVERIFY(QDir().mkpath(path(QStringLiteral("log"))));
    }

    void cleanup()
    {
        m_viewers.clear();
        m_dir.reset();
    }

    void viewerIsStartedOnTheFirstCollectionFound_data()
    {
        QTest::addColumn<int>("places");
        QTest::addColumn<int>("chosen");
        QTest::newRow("with a collection at both places the product tree's one is taken")
            << (PRODUCT_TREE | PROGRAM_DIR) << int(PRODUCT_TREE);
        QTest::newRow("a collection only in the program's directory is taken")
            << int(PROGRAM_DIR) << int(PROGRAM_DIR);
        QTest::newRow("a collection only in the product tree is taken")
            << int(PRODUCT_TREE) << int(PRODUCT_TREE);
    }

    void viewerIsStartedOnTheFirstCollectionFound()
    {
        QFETCH(int, places);
        QFETCH(int, chosen);
        putCollections(places);
        putStandIn(searchDir());
        QStringList messages;
        HelpViewer *viewer = makeViewer(&messages);

        viewer->sendCommand(HelpViewer::manualStartCommand());
        finish(viewer);

        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
        const QStringList expected = {
            QStringLiteral("start ") + searchDir() + QStringLiteral("/assistant"),
            QStringLiteral("arg -collectionFile"),
            QStringLiteral("arg ") + collectionAt(chosen),
            QStringLiteral("arg -enableRemoteControl"),
        };
        QCOMPARE(lines(startsLog()), expected);
        QCOMPARE(readAll(inputLog()), HelpViewer::manualStartCommand());
    }

    void viewerIsLookedForOnTheSearchPathBeforeQtsBinaries_data()
    {
        QTest::addColumn<bool>("onSearchPath");
        QTest::addColumn<bool>("inQtBinaries");
        QTest::addColumn<QString>("started");
        QTest::newRow("the search path's viewer is started even when Qt's binaries have one")
            << true << true << QStringLiteral("search");
        QTest::newRow("without one on the search path the viewer in Qt's binaries is started")
            << false << true << QStringLiteral("qtbin");
    }

    void viewerIsLookedForOnTheSearchPathBeforeQtsBinaries()
    {
        QFETCH(bool, onSearchPath);
        QFETCH(bool, inQtBinaries);
        QFETCH(QString, started);
        putCollections(PROGRAM_DIR);
        if (onSearchPath)
            putStandIn(searchDir());
        if (inQtBinaries)
            putStandIn(qtBinDir());
        QStringList messages;
        HelpViewer *viewer = makeViewer(&messages);

        viewer->sendCommand(HelpViewer::manualStartCommand());
        finish(viewer);

        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
        QCOMPARE(lines(startsLog()).value(0),
                 QStringLiteral("start ") + path(started) + QStringLiteral("/assistant"));
    }

    void oneViewerServesSeveralRequests()
    {
        putCollections(PROGRAM_DIR);
        putStandIn(searchDir());
        QStringList messages;
        HelpViewer *viewer = makeViewer(&messages);
        const QByteArray second("setSource qthelp://elsewhere/kestrel/chart.html");

        viewer->sendCommand(HelpViewer::manualStartCommand());
        viewer->sendCommand(second);
        finish(viewer);

        QCOMPARE(lines(startsLog()).filter(QRegularExpression(QStringLiteral("^start "))).size(), 1);
        QCOMPARE(readAll(inputLog()), HelpViewer::manualStartCommand() + second);
    }

    void aClosedViewerIsStartedAgainOnTheNextRequest()
    {
        putCollections(PROGRAM_DIR);
        putStandIn(searchDir());
        QStringList messages;
        HelpViewer *viewer = makeViewer(&messages);

        viewer->sendCommand(HelpViewer::manualStartCommand());
        finish(viewer);
        QVERIFY(!viewer->isRunning());
        viewer->sendCommand(HelpViewer::manualStartCommand());
        finish(viewer);

        QCOMPARE(lines(startsLog()).filter(QRegularExpression(QStringLiteral("^start "))).size(), 2);
        QCOMPARE(readAll(inputLog()), HelpViewer::manualStartCommand().repeated(2));
    }

    void failuresAreToldAndStartNothing_data()
    {
        QTest::addColumn<int>("places");
        QTest::addColumn<QString>("standInDir");
        QTest::addColumn<QByteArray>("interpreter");
        QTest::addColumn<QString>("message");
        QTest::newRow("no collection at either place")
            << 0 << QStringLiteral("search") << QByteArray("/bin/sh")
            << QStringLiteral("Help files are not found.");
        QTest::newRow("no viewer on the search path nor in Qt's binaries")
            << int(PROGRAM_DIR) << QString() << QByteArray("/bin/sh")
            << QStringLiteral("Help viewer 'assistant' is not found.");
        QTest::newRow("a viewer that cannot be executed")
            << int(PROGRAM_DIR) << QStringLiteral("search") << QByteArray("/nonexistent/interpreter")
            << QStringLiteral("Help viewer '%1/assistant' cannot be started.");
    }

    void failuresAreToldAndStartNothing()
    {
        QFETCH(int, places);
        QFETCH(QString, standInDir);
        QFETCH(QByteArray, interpreter);
        QFETCH(QString, message);
        putCollections(places);
        if (!standInDir.isEmpty())
            putStandIn(path(standInDir), interpreter);
        QStringList messages;
        HelpViewer *viewer = makeViewer(&messages);

        viewer->sendCommand(HelpViewer::manualStartCommand());

        if (message.contains(QLatin1String("%1")))
            message = message.arg(path(standInDir));
        QCOMPARE(messages, QStringList{message});
        QVERIFY(!viewer->isRunning());
        QVERIFY(!QFile::exists(startsLog()));
    }

    void aMissingCollectionIsLookedForAgainOnTheNextRequest()
    {
        putStandIn(searchDir());
        QStringList messages;
        HelpViewer *viewer = makeViewer(&messages);
        viewer->sendCommand(HelpViewer::manualStartCommand());
        QCOMPARE(messages.size(), 1);

        putCollections(PROGRAM_DIR);
        viewer->sendCommand(HelpViewer::manualStartCommand());
        finish(viewer);

        QCOMPARE(messages.size(), 1);
        QCOMPARE(readAll(inputLog()), HelpViewer::manualStartCommand());
    }

    void withoutASinkAFailureIsACriticalBoxTitledKestrelview()
    {
        HelpViewer viewer;
        viewer.setProgramDir(programDir());

        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QList<QAbstractButton *> buttons;
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            closer.stop();
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->buttons();
            box->done(QMessageBox::Ok);
        });
        closer.start(10);

        viewer.sendCommand(HelpViewer::manualStartCommand());

        QCOMPARE(icon, QMessageBox::Critical);
        QCOMPARE(title, QStringLiteral("Kestrelview"));
        QCOMPARE(text, QStringLiteral("Help files are not found."));
        QCOMPARE(buttons.size(), 1);
    }

    void theControllerForwardsToItsViewerAndReportsThroughItsSink()
    {
        Tracer tracer;
        QList<QPair<QMessageBox::Icon, QString>> shown;
        tracer.setMessageSink(
            [&shown](QMessageBox::Icon icon, const QString &text) { shown.append(qMakePair(icon, text)); });
        tracer.helpViewer()->setProgramDir(programDir());

        tracer.sendHelpCommand(HelpViewer::manualStartCommand());

        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().first, QMessageBox::Critical);
        QCOMPARE(shown.first().second, QStringLiteral("Help files are not found."));
    }

    void startCommandShowsTheStartPageOfTheManualsCollection()
    {
        // The command and the help project are written apart; they must name
        // the same namespace, folder and page.
        const QDir sourceDir = QFileInfo(QString::fromUtf8(__FILE__)).absoluteDir();
        QFile project(sourceDir.filePath(QStringLiteral("../../docs/manual/kestrelview.qhp")));
        QVERIFY(project.open(QIODevice::ReadOnly));
        QDomDocument document;
        QVERIFY(document.setContent(&project));
        const QDomElement root = document.documentElement();
        const QString nameSpace = root.firstChildElement(QStringLiteral("namespace")).text();
        const QString folder = root.firstChildElement(QStringLiteral("virtualFolder")).text();
        QStringList files;
        const QDomNodeList fileElements = root.elementsByTagName(QStringLiteral("file"));
        for (int i = 0; i < fileElements.size(); ++i)
            files.append(fileElements.at(i).toElement().text());

        const QByteArray command = HelpViewer::manualStartCommand();
        QVERIFY2(command.endsWith('\0'), "a command ends at a NUL byte");
        const QString text = QString::fromLatin1(command.chopped(1));
        QCOMPARE(text, QStringLiteral("setSource qthelp://%1/%2/index.html").arg(nameSpace, folder));
        QVERIFY(files.contains(QStringLiteral("index.html")));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
