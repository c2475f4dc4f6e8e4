#include "app/helpviewer.h"
#include "app/tracer.h"

#include <QtTest>

#include <QDomDocument>
#include <QMessageBox>
#include <QTemporaryDir>

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
    std::unique_ptr<Tracer> m_tracer;
    HelpViewer *m_viewer = nullptr; // the controller's, which tells its failures through the controller
    QStringList m_messages;

    QString path(const char *relative) const { return m_dir->filePath(QLatin1String(relative)); }
    QString place(int put) const
    {
        return path(put == PRODUCT_TREE  ? "product/targets/share/doc/Corvos.qhc"
                    : put == PROGRAM_DIR ? "product/bin/Corvos.qhc"
                    : put == SEARCH_PATH ? "search/assistant"
                                         : "qtbin/assistant");
    }

    // A stand-in for Assistant notes every start with its arguments, then keeps
    // what it is sent on its standard input until that input is closed.
    void put(int what, const QByteArray &interpreter = "/bin/sh")
    {
        const QByteArray log = QFile::encodeName(path("log"));
        const QByteArray standIn = "#!" + interpreter +
                                   "\n{ printf 'start %s\\n' \"$0\"; for a in \"$@\"; do printf 'arg %s\\n' "
                                   "\"$a\"; done; } >> '" +
                                   log + "/starts'\nexec cat >> '" + log + "/input'\n";
        for (const int one : {PRODUCT_TREE, PROGRAM_DIR, SEARCH_PATH, QT_BINARIES}) {
            if (!(what & one))
                continue;
            QFile file(place(one));
            QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()) && file.open(QIODevice::WriteOnly));
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
        QVERIFY(QDir().mkpath(path("log")));
        m_messages.clear();
        // Steered into the test's directories, failures collected in m_messages.
        m_tracer = std::make_unique<Tracer>();
        m_viewer = m_tracer->helpViewer();
        m_viewer->setProgramDir(path("product/bin"));
        m_viewer->setSearchPath({path("search")});
        m_viewer->setQtBinariesDir(path("qtbin"));
        m_tracer->setMessageSink([this](QMessageBox::Icon icon, const QString &text) {
            m_messages.append(QString::number(icon) + QLatin1Char('|') + text);
        });
    }

    void viewerIsStartedOnTheFirstCollectionWithTheFirstViewerFoundOrTheFailureTold_data()
    {
        QTest::addColumn<int>("what");
        QTest::addColumn<QByteArray>("interpreter");
        QTest::addColumn<QString>("message"); // of the first request; empty: it starts a viewer
        QTest::addColumn<int>("collection");  // the viewer started, on this collection
        QTest::addColumn<int>("viewer");
        const QByteArray sh("/bin/sh");
        const int both = PROGRAM_DIR | SEARCH_PATH;
        QTest::newRow("the product tree's collection and the search path's viewer come first")
            << (PRODUCT_TREE | both | QT_BINARIES) << sh << QString() << int(PRODUCT_TREE)
            << int(SEARCH_PATH);
        QTest::newRow("else the program directory's collection and the viewer in Qt's binaries")
            << (PROGRAM_DIR | QT_BINARIES) << sh << QString() << int(PROGRAM_DIR) << int(QT_BINARIES);
        QTest::newRow("no collection at either place")
            << int(SEARCH_PATH) << sh << QStringLiteral("Help files are not found.") << int(PROGRAM_DIR)
            << int(SEARCH_PATH);
        QTest::newRow("no viewer on the search path nor in Qt's binaries")
            << int(PROGRAM_DIR) << sh << QStringLiteral("Help viewer 'assistant' is not found.")
            << int(PROGRAM_DIR) << int(SEARCH_PATH);
        QTest::newRow("a viewer that cannot be executed")
            << both << QByteArray("/nonexistent/interpreter")
            << QStringLiteral("Help viewer '%1' cannot be started.") << int(PROGRAM_DIR) << int(SEARCH_PATH);
    }

    void viewerIsStartedOnTheFirstCollectionWithTheFirstViewerFoundOrTheFailureTold()
    {
        QFETCH(int, what);
        QFETCH(QByteArray, interpreter);
        QFETCH(QString, message);
        QFETCH(int, collection);
        QFETCH(int, viewer);
        put(what, interpreter);
        const QByteArray start = HelpViewer::manualStartCommand();
        m_tracer->sendHelpCommand(start);
        if (!message.isEmpty()) {
            // Told, nothing started, and the next request looks again.
            QVERIFY(!m_viewer->isRunning() && !QFile::exists(path("log/starts")));
            put(PROGRAM_DIR | SEARCH_PATH);
            m_tracer->sendHelpCommand(start);
        }
        // One viewer serves every request until it is closed; the next request starts another.
        const QByteArray second("setSource qthelp://elsewhere/kestrel/chart.html");
        m_viewer->sendCommand(second);
        finish();
        m_viewer->sendCommand(start);
        finish();

        QCOMPARE(m_messages, message.isEmpty()
                                 ? QStringList()
                                 : QStringList{QString::number(QMessageBox::Critical) + QLatin1Char('|') +
                                               message.replace(QLatin1String("%1"), place(SEARCH_PATH))});
        QCOMPARE(QString::fromLocal8Bit(readAll(path("log/starts"))),
                 QStringLiteral("start %1\narg -collectionFile\narg %2\narg -enableRemoteControl\n")
                     .arg(place(viewer), place(collection))
                     .repeated(2));
        QCOMPARE(readAll(path("log/input")), start + second + start);
    }

    // The command and the help project are written apart; they must name the same namespace, folder and page.
    void startCommandShowsTheStartPageOfTheManualsCollection()
    {
        QFile project(QStringLiteral(KESTREL_SOURCE_DIR "/docs/manual/kestrelview.qhp"));
        QDomDocument document;
        QVERIFY(project.open(QIODevice::ReadOnly) && document.setContent(&project));
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
