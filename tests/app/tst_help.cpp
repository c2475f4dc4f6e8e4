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
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace {

// What a test puts in place: collections at their two places, stand-in viewers in two directories.
enum Put { PRODUCT_TREE = 1, PROGRAM_DIR = 2, SEARCH_PATH = 4, QT_BINARIES = 8 };

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestHelp : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<HelpViewer> m_viewer;
    QStringList m_messages;

    QString path(const QString &relative) const { return m_dir->filePath(relative); }
    QString place(int put) const
    {
        switch (put) {
        case PRODUCT_TREE:
            return path(QStringLiteral("product/targets/share/doc/Corvos.qhc"));
        case PROGRAM_DIR:
            return path(QStringLiteral("product/bin/Corvos.qhc"));
        case SEARCH_PATH:
            return path(QStringLiteral("search/assistant"));
        default:
            return path(QStringLiteral("qtbin/assistant"));
        }
    }
    QString startsLog() const { return path(QStringLiteral("log/starts")); }
    QString inputLog() const { return path(QStringLiteral("log/input")); }
    int starts() const { return int(readAll(startsLog()).count("start ")); }

    // A stand-in for Assistant notes every start with its arguments, then keeps
    // what it is sent on its standard input until that input is closed.
    void put(int what, const QByteArray &interpreter = "/bin/sh")
    {
        const QByteArray log = QFile::encodeName(path(QStringLiteral("log")));
        const QByteArray standIn = "#!" + interpreter +
                                   "\n{ printf 'start %s\\n' \"$0\"; for a in \"$@\"; do printf 'arg %s\\n' "
                                   "\"$a\"; done; } >> '" +
                                   log + "/starts'\nexec cat >> '" + log + "/input'\n";
        for (const int one : {PRODUCT_TREE, PROGRAM_DIR, SEARCH_PATH, QT_BINARIES}) {
            if (!(what & one))
                continue;
            QVERIFY(QDir().mkpath(QFileInfo(place(one)).absolutePath()));
            QFile file(place(one));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write((one & (SEARCH_PATH | QT_BINARIES)) ? standIn : QByteArray("collection"));
            QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
        }
    }

    // Closes the stand-in's input, so that it ends and everything sent has reached the log.
    void finish()
    {
        m_viewer->process()->closeWriteChannel();
        QVERIFY(m_viewer->process()->waitForFinished(10000));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        for (const char *dir : {"product/bin", "search", "qtbin", "log"})
            QVERIFY(QDir().mkpath(path(QLatin1String(dir))));
        m_messages.clear();
        // Steered into the test's directories, failures collected in m_messages.
        m_viewer = std::make_unique<HelpViewer>();
        m_viewer->setProgramDir(path(QStringLiteral("product/bin")));
        m_viewer->setSearchPath({path(QStringLiteral("search"))});
        m_viewer->setQtBinariesDir(path(QStringLiteral("qtbin")));
        m_viewer->setMessageSink([this](const QString &text) { m_messages.append(text); });
    }

    void cleanup()
    {
        m_viewer.reset();
        m_dir.reset();
    }

    void viewerIsStartedOnTheFirstCollectionWithTheFirstViewerFound_data()
    {
        QTest::addColumn<int>("what");
        QTest::addColumn<int>("collection");
        QTest::addColumn<int>("viewer");
        QTest::newRow("with a collection at both places the product tree's one is taken")
            << (PRODUCT_TREE | PROGRAM_DIR | SEARCH_PATH) << int(PRODUCT_TREE) << int(SEARCH_PATH);
        QTest::newRow("a collection only in the program's directory is taken")
            << (PROGRAM_DIR | SEARCH_PATH) << int(PROGRAM_DIR) << int(SEARCH_PATH);
        QTest::newRow("the search path's viewer is started even when Qt's binaries have one")
            << (PROGRAM_DIR | SEARCH_PATH | QT_BINARIES) << int(PROGRAM_DIR) << int(SEARCH_PATH);
        QTest::newRow("without one on the search path the viewer in Qt's binaries is started")
            << (PROGRAM_DIR | QT_BINARIES) << int(PROGRAM_DIR) << int(QT_BINARIES);
    }

    void viewerIsStartedOnTheFirstCollectionWithTheFirstViewerFound()
    {
        QFETCH(int, what);
        QFETCH(int, collection);
        QFETCH(int, viewer);
        put(what);
        m_viewer->sendCommand(HelpViewer::manualStartCommand());
        finish();

        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join(u'\n')));
        QCOMPARE(QString::fromLocal8Bit(readAll(startsLog())),
                 QStringLiteral("start %1\narg -collectionFile\narg %2\narg -enableRemoteControl\n")
                     .arg(place(viewer), place(collection)));
        QCOMPARE(readAll(inputLog()), HelpViewer::manualStartCommand());
    }

    void oneViewerServesEveryRequestUntilClosedThenTheNextStartsAnother()
    {
        put(PROGRAM_DIR | SEARCH_PATH);
        const QByteArray start = HelpViewer::manualStartCommand();
        const QByteArray second("setSource qthelp://elsewhere/kestrel/chart.html");
        m_viewer->sendCommand(start);
        m_viewer->sendCommand(second);
        finish();
        QCOMPARE(starts(), 1);
        QVERIFY(!m_viewer->isRunning());

        m_viewer->sendCommand(start);
        finish();
        QCOMPARE(starts(), 2);
        QCOMPARE(readAll(inputLog()), start + second + start);
    }

    void aFailureIsToldStartsNothingAndTheNextRequestLooksAgain_data()
    {
        QTest::addColumn<int>("what");
        QTest::addColumn<QByteArray>("interpreter");
        QTest::addColumn<QString>("message");
        QTest::newRow("no collection at either place")
            << int(SEARCH_PATH) << QByteArray("/bin/sh") << QStringLiteral("Help files are not found.");
        QTest::newRow("no viewer on the search path nor in Qt's binaries")
            << int(PROGRAM_DIR) << QByteArray("/bin/sh")
            << QStringLiteral("Help viewer 'assistant' is not found.");
        QTest::newRow("a viewer that cannot be executed")
            << (PROGRAM_DIR | SEARCH_PATH) << QByteArray("/nonexistent/interpreter")
            << QStringLiteral("Help viewer '%1' cannot be started.");
    }

    void aFailureIsToldStartsNothingAndTheNextRequestLooksAgain()
    {
        QFETCH(int, what);
        QFETCH(QByteArray, interpreter);
        QFETCH(QString, message);
        put(what, interpreter);
        m_viewer->sendCommand(HelpViewer::manualStartCommand());

        QCOMPARE(m_messages, QStringList{message.replace(QLatin1String("%1"), place(SEARCH_PATH))});
        QVERIFY(!m_viewer->isRunning());
        QVERIFY(!QFile::exists(startsLog()));

        put(PROGRAM_DIR | SEARCH_PATH);
        m_viewer->sendCommand(HelpViewer::manualStartCommand());
        finish();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(readAll(inputLog()), HelpViewer::manualStartCommand());
    }

    void withoutASinkAFailureIsACriticalBoxTitledKestrelview()
    {
        HelpViewer viewer;
        viewer.setProgramDir(path(QStringLiteral("product/bin")));
        QString seen;
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                closer.stop();
                seen = QStringLiteral("%1 %2: %3, %4 button(s)")
                           .arg(box->icon() == QMessageBox::Critical ? QLatin1String("critical")
                                                                     : QLatin1String("other"),
                                box->windowTitle(), box->text())
                           .arg(box->buttons().size());
                box->done(QMessageBox::Ok);
            }
        });
        closer.start(10);
        viewer.sendCommand(HelpViewer::manualStartCommand());
        QCOMPARE(seen, QStringLiteral("critical Kestrelview: Help files are not found., 1 button(s)"));
    }

    void theControllerForwardsToItsViewerAndReportsThroughItsSink()
    {
        Tracer tracer;
        QList<QPair<QMessageBox::Icon, QString>> shown;
        tracer.setMessageSink([&](QMessageBox::Icon icon, const QString &text) {
            shown.append({icon, text});
        });
        tracer.helpViewer()->setProgramDir(path(QStringLiteral("product/bin")));
        tracer.sendHelpCommand(HelpViewer::manualStartCommand());
        QCOMPARE(shown, (QList<QPair<QMessageBox::Icon, QString>>{
                            {QMessageBox::Critical, QStringLiteral("Help files are not found.")}}));
    }

    void startCommandShowsTheStartPageOfTheManualsCollection()
    {
        // The command and the help project are written apart; they must name the same namespace, folder and
        // page.
        QFile project(QFileInfo(QString::fromUtf8(__FILE__))
                          .absoluteDir()
                          .filePath(QStringLiteral("../../docs/manual/kestrelview.qhp")));
        QVERIFY(project.open(QIODevice::ReadOnly));
        QDomDocument document;
        QVERIFY(document.setContent(&project));
        const QDomElement root = document.documentElement();
        const QString url = QStringLiteral("setSource qthelp://%1/%2/index.html")
                                .arg(root.firstChildElement(QStringLiteral("namespace")).text(),
                                     root.firstChildElement(QStringLiteral("virtualFolder")).text());
        QCOMPARE(HelpViewer::manualStartCommand(), url.toLatin1() + '\0');
        QVERIFY(document.toString().contains(QLatin1String("<file>index.html</file>")));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
