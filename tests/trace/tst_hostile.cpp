#include "app/tracer.h"
#include "hostileinputs.h"
#include "testsupport.h"
#include "trace/node.h"
#include "trace/project.h"
#include "trace/task.h"

#include <QTreeWidgetItem>
#include <QtTest>

#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

using HostileInputs::longTrace;
using HostileInputs::smallTrace;

namespace {

// Puts a file that is not what its name claims, as they come from the field, at a path.
using Build = std::function<void(const QString &path)>;

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size())
        qFatal("cannot write %s", qPrintable(path));
}

QStringList treeTexts(const QTreeWidgetItem *entry, const QString &indent = QString())
{
    QStringList texts;
    for (int i = 0; i < entry->childCount(); ++i)
        texts << indent + entry->child(i)->text(0) << treeTexts(entry->child(i), indent + QLatin1Char(' '));
    return texts;
}

// The access mode (O_RDONLY, O_WRONLY, O_RDWR) this process has `path` open with; -1: not open.
int openAccessMode(const QString &path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo &fd : fds.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        QFile fdinfo(QStringLiteral("/proc/self/fdinfo/") + fd.fileName());
        if (fd.symLinkTarget() != target || !fdinfo.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : fdinfo.readAll().split('\n')) {
            if (line.startsWith("flags:"))
                return int(line.mid(6).trimmed().toUInt(nullptr, 8)) & O_ACCMODE;
        }
    }
    return -1;
}

} // namespace

Q_DECLARE_METATYPE(Build)

class TestHostile : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Tracer> m_tracer;
    QTreeWidgetItem m_root;
    QStringList m_messages;
    int m_dirs = 0;

    Node *createNode(const QString &path) { return m_tracer->createNode(path, &m_root, FROM_TRACER); }

    // Loads `path`; an unreadable file as a user its permissions keep out, even under root.
    Node *load(const QString &path)
    {
        if (!QFileInfo(path).isFile() || (QFile::permissions(path) & QFile::ReadOwner) || ::geteuid() != 0)
            return createNode(path);
        const QString sandbox = TestSupport::sandboxPath();
        const QFile::Permissions kept = QFile::permissions(sandbox);
        QFile::setPermissions(sandbox, kept | QFile::ExeOther);
        ::setfsuid(65534);
        Node *const node = createNode(path);
        ::setfsuid(0);
        QFile::setPermissions(sandbox, kept);
        return node;
    }

private slots:
    void init()
    {
        m_tracer = std::make_unique<Tracer>();
        m_tracer->initHeadless();
        m_messages.clear();
        m_tracer->setMessageSink([this](QMessageBox::Icon icon, const QString &text) {
            QCOMPARE(icon, QMessageBox::Warning);
            m_messages.append(text);
        });
    }

    void cleanup()
    {
        m_tracer.reset();
        QCOMPARE(m_root.childCount(), 0);
    }

    void hostileFileIsRefusedOrLoadsAndLeavesTheRestAsItWas_data()
    {
        QTest::addColumn<Build>("build");
        QTest::addColumn<QString>("message"); // %1 the file's name, %2 its path; empty: it loads
        const auto file = [](const QByteArray &contents, qint64 size = -1) {
            return Build([=](const QString &path) {
                writeFile(path, contents);
                if (size >= 0)
                    QVERIFY(QFile::resize(path, size));
            });
        };
        const QString stopped = QStringLiteral(" Parsing has been stopped.\nLine: ");

        QTest::newRow("a FIFO, which would block the read") << Build([](const QString &path) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }) << QStringLiteral("Can't open tracefile '%1'.");
        QTest::newRow("an empty file") << file(QByteArray()) << QStringLiteral("Tracefile '%1' is empty.");
        QTest::newRow("a file without read permission") << Build([](const QString &path) {
            writeFile(path, smallTrace(7));
            QVERIFY(QFile::setPermissions(path, QFile::Permissions()));
        }) << QStringLiteral("Can't open tracefile '%1'.");
        QTest::newRow("a trace that ends in four gigabytes of zeros")
            << file(HostileInputs::beforeZeroTail(), HostileInputs::fourGigabytes)
            << QStringLiteral("Tracefile '%2' is empty or corrupted.");
        QTest::newRow("but an attribute of eight megabytes loads")
            << file(HostileInputs::bigAttribute()) << QString();
        QTest::newRow("elements nested a hundred thousand deep")
            << file(HostileInputs::nestedDeep())
            << QStringLiteral("Elements are nested more than 256 levels deep.") + stopped +
                   QStringLiteral("1, column: 781");
        QTest::newRow("a billion laughs") << file(HostileInputs::billionLaughs())
                                          << QStringLiteral("Entity declarations are not supported.") +
                                                 stopped + QStringLiteral("3, column: 20");
        QTest::newRow("five thousand declared tasks")
            << file(HostileInputs::tooManyTasks())
            << QStringLiteral("More than 4096 tasks are declared.") + stopped +
                   QStringLiteral("3, column: 105418");
    }

    void hostileFileIsRefusedOrLoadsAndLeavesTheRestAsItWas()
    {
        QFETCH(Build, build);
        QFETCH(QString, message);

        // Once as the first file of its directory, once beside an open node.
        for (const bool besideOpenNode : {false, true}) {
            // A fresh directory of the sandbox, holding a valid "a.trace" (node 1).
            const QString dir =
                QFileInfo(TestSupport::writeTempFile(QStringLiteral("hostile%1").arg(++m_dirs),
                                                     QStringLiteral("a.trace"), smallTrace(1)))
                    .absolutePath();
            const QString path = dir + QStringLiteral("/x.trace");
            build(path);
            if (QTest::currentTestFailed())
                return;
            if (besideOpenNode)
                QVERIFY(createNode(dir + QStringLiteral("/a.trace")));
            const QStringList tree = treeTexts(&m_root);
            m_messages.clear();

            Node *const node = load(path);

            if (message.isEmpty()) {
                QVERIFY2(node, qPrintable(m_messages.value(0)));
                QVERIFY(node->name() == QString(8 << 20, QLatin1Char('x')) &&
                        node->project()->nodeCount() == (besideOpenNode ? 2 : 1));
            } else {
                QVERIFY(!node);
                QCOMPARE(m_messages, QStringList{QString(message)
                                                     .replace(QLatin1String("%1"), QStringLiteral("x.trace"))
                                                     .replace(QLatin1String("%2"), path)});
                QCOMPARE(treeTexts(&m_root), tree);
                QCOMPARE(m_tracer->projects().size(), besideOpenNode ? 1 : 0);
            }
            while (!m_tracer->projects().isEmpty())
                m_tracer->removeProject(m_tracer->projects().begin()->data());
        }
    }

    // Files from the field that once broke a load. The event after two markers lies before them on
    // the log axis: the task's log time would go below 0, a conversion that is undefined.
    void markerBeyondTheNextEventKeepsLogTimesAtZeroOrMore()
    {
        const QString path = QFINDTESTDATA("fixtures/marker-beyond-next-event.trace");
        QVERIFY(!path.isEmpty());
        const Node *node = createNode(path);
        QVERIFY2(node, qPrintable(m_messages.value(0)));
        QStringList times;
        for (const auto &task : node->tasks())
            times << QStringLiteral("%1:%2").arg(task->id()).arg(task->logExecutionTime());
        QCOMPARE(times.join(QLatin1Char(' ')), QStringLiteral("2:6 3:0"));
    }

    // Whatever goes wrong, a trace file is never written: it is only ever opened read-only.
    void traceFileIsOpenedReadOnlyAndClosedAfterLoading()
    {
        const QString path =
            TestSupport::writeTempFile(QStringLiteral("readonly"), QStringLiteral("r.trace"), longTrace(3));
        int accessMode = -2; // as the file is open while it is read
        m_tracer->setLoadProgress([&](qint64, qint64) { accessMode = openAccessMode(path); });
        QVERIFY(createNode(path));
        QCOMPARE((QList<int>{accessMode, openAccessMode(path)}), (QList<int>{O_RDONLY, -1}));
    }
};

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
