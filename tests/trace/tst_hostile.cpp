#include "app/tracer.h"
#include "testsupport.h"
#include "trace/node.h"
#include "trace/project.h"
#include "trace/task.h"
#include "tracefixture.h"
#include "views/nodeviewwindow.h"

#include <QCryptographicHash>
#include <QTableWidget>
#include <QTreeWidgetItem>
#include <QtTest>

#include <cstdio>
#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

using TraceFixture::eventXml;
using TraceFixture::traceFile;

namespace {

// Files that are not what their name claims, as they come from the field.
enum class Hostile {
    Directory,
    Fifo,
    LinkToZero,
    LinkToUrandom,
    DanglingLink,
    Unreadable,
    CutMidElement,
    TruncatedWhileRead,
    ReplacedWhileRead,
    SparseZeros,
    ZeroTail,
    DeepNesting,
    BillionLaughs,
    RepeatedEntity,
    ManyTasks,
    ManyHubs,
    MegabyteAttribute,
    NotUtf8,
    Utf16WithBom,
    LinkToTrace,
    BinaryBytes,
};

constexpr qint64 fourGigabytes = qint64(4) << 30;

QByteArray smallTrace(int nodeId)
{
    return traceFile(nodeId, "<tasks><task id=\"1\" name=\"Worker\"/></tasks>\n",
                     eventXml(0, 10, 0, 0x101) + eventXml(1, 20, 0, 0x101));
}

// More events than a load reads before it first reports its progress (16384).
QByteArray longTrace(int nodeId, int events = 20000)
{
    QByteArray list;
    for (int i = 0; i < events; ++i)
        list += eventXml(i % 2, quint32(10 * i), 0, 0x101 + i % 2);
    return traceFile(nodeId, QByteArray(), list);
}

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size())
        qFatal("cannot write %s", qPrintable(path));
}

// Every entry under `entry`, indented by depth: the tree as the user sees it.
QStringList treeTexts(const QTreeWidgetItem *entry, const QString &indent = QString())
{
    QStringList texts;
    for (int i = 0; i < entry->childCount(); ++i) {
        texts << indent + entry->child(i)->text(0);
        texts << treeTexts(entry->child(i), indent + QLatin1Char(' '));
    }
    return texts;
}

// What a write would change: size, modification time and, for files that
// are not huge, the contents.
QStringList stamp(const QString &path)
{
    const QFileInfo info(path);
    QStringList fields{QString::number(info.size()), info.lastModified().toString(Qt::ISODateWithMs)};
    QFile file(path);
    if (info.size() < (qint64(64) << 20) && file.open(QIODevice::ReadOnly))
        fields << QString::fromLatin1(
            QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
    return fields;
}

// The access mode (O_RDONLY, O_WRONLY, O_RDWR) this process has `path` open
// with, or -1 when it has not.
int openAccessMode(const QString &path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    const QFileInfoList fds = QDir(QStringLiteral("/proc/self/fd"))
                                  .entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &fd : fds) {
        if (fd.symLinkTarget() != target)
            continue;
        QFile fdinfo(QStringLiteral("/proc/self/fdinfo/") + fd.fileName());
        if (!fdinfo.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray &line : fdinfo.readAll().split('\n')) {
            if (line.startsWith("flags:"))
                return int(line.mid(6).trimmed().toUInt(nullptr, 8)) & O_ACCMODE;
        }
    }
    return -1;
}

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Tracer> m_tracer;
    QTreeWidgetItem m_root;
    QStringList m_messages;
    std::function<void()> m_whileRead; // run at the first progress report of a load
    int m_dirs = 0;

    // A fresh directory of the sandbox, holding a valid "a.trace" (node 1).
    QString newDir()
    {
        return QFileInfo(TestSupport::writeTempFile(QStringLiteral("hostile%1").arg(++m_dirs),
                                                    QStringLiteral("a.trace"), smallTrace(1)))
            .absolutePath();
    }

    // Puts the hostile file at `path` (named x.trace; nodes in it have id 7).
    void build(Hostile kind, const QString &path)
    {
        const QString dir = QFileInfo(path).absolutePath();
        switch (kind) {
        case Hostile::Directory:
            QVERIFY(QDir().mkpath(path));
            break;
        case Hostile::Fifo:
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            break;
        case Hostile::LinkToZero:
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
            break;
        case Hostile::LinkToUrandom:
            QVERIFY(QFile::link(QStringLiteral("/dev/urandom"), path));
            break;
        case Hostile::DanglingLink:
            QVERIFY(QFile::link(dir + QStringLiteral("/gone.trace"), path));
            break;
        case Hostile::Unreadable:
            writeFile(path, smallTrace(7));
            QVERIFY(QFile::setPermissions(path, QFile::Permissions()));
            break;
        case Hostile::CutMidElement:
            writeFile(path, "<?xml version=\"1.0\"?>\n<node id=\"7\">\n<trace lowCounterHz=\"0\" "
                            "highCounterHz=\"1000\">\n<event type=\"0\" lowCou");
            break;
        case Hostile::TruncatedWhileRead:
            writeFile(path, longTrace(7));
            m_whileRead = [path] { QVERIFY(QFile::resize(path, 1000)); };
            break;
        case Hostile::ReplacedWhileRead:
            writeFile(path, longTrace(7));
            m_whileRead = [path] {
                writeFile(path + QStringLiteral(".new"), smallTrace(8));
                QCOMPARE(std::rename(QFile::encodeName(path + QStringLiteral(".new")).constData(),
                                     QFile::encodeName(path).constData()),
                         0);
            };
            break;
        case Hostile::SparseZeros:
            writeFile(path, QByteArray());
            QVERIFY(QFile::resize(path, fourGigabytes));
            break;
        case Hostile::ZeroTail:
            writeFile(path, longTrace(7, 100).chopped(int(qstrlen("</trace>\n</node>\n"))));
            QVERIFY(QFile::resize(path, fourGigabytes));
            break;
        case Hostile::DeepNesting:
            writeFile(path, "<node id=\"7\">" + QByteArray("<a>").repeated(100000) +
                                QByteArray("</a>").repeated(100000) + "</node>");
            break;
        case Hostile::BillionLaughs: {
            QByteArray entities = "<!ENTITY lol0 \"lol\">\n";
            for (int i = 1; i < 10; ++i) {
                entities += "<!ENTITY lol" + QByteArray::number(i) + " \"" +
                            ("&lol" + QByteArray::number(i - 1) + ";").repeated(10) + "\">\n";
            }
            writeFile(path, "<?xml version=\"1.0\"?>\n<!DOCTYPE node [\n" + entities +
                                "]>\n<node id=\"7\" name=\"&lol9;\"/>\n");
            break;
        }
        case Hostile::RepeatedEntity:
            // Each reference stays below the reader's limit for one entity,
            // but thousands of them make a million events out of 64 kB.
            writeFile(path, "<?xml version=\"1.0\"?>\n<!DOCTYPE node [\n<!ENTITY e '" +
                                eventXml(1, 5).trimmed().repeated(55) + "'>\n]>\n" +
                                traceFile(7, QByteArray(), QByteArray("&e;").repeated(20000)).mid(22));
            break;
        case Hostile::ManyTasks:
        case Hostile::ManyHubs: {
            const QByteArray element = kind == Hostile::ManyTasks ? "task" : "hub";
            QByteArray declarations = '<' + element + "s>";
            for (int id = 0; id < 5000; ++id)
                declarations += '<' + element + " id=\"" + QByteArray::number(id) + "\" name=\"x\"/>";
            writeFile(path, traceFile(7, declarations + "</" + element + "s>\n", eventXml(0, 10)));
            break;
        }
        case Hostile::MegabyteAttribute:
            writeFile(path, traceFile(7, QByteArray(), eventXml(0, 10))
                                .replace("name=\"n7\"", "name=\"" + QByteArray(8 << 20, 'x') + '"'));
            break;
        case Hostile::NotUtf8:
            writeFile(path,
                      traceFile(7, QByteArray(), eventXml(0, 10))
                          .replace("<?xml version=\"1.0\"?>", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>")
                          .replace("name=\"n7\"", "name=\"W\xe4rme\""));
            break;
        case Hostile::Utf16WithBom: {
            const QString text = QString::fromLatin1(
                traceFile(7, QByteArray(), eventXml(0, 10) + eventXml(1, 20))
                    .replace("<?xml version=\"1.0\"?>", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>")
                    .replace("\n", "\r\n"));
            writeFile(path, QByteArray("\xFF\xFE") +
                                QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2));
            break;
        }
        case Hostile::LinkToTrace:
            writeFile(dir + QStringLiteral("/real.trace"), smallTrace(7));
            QVERIFY(QFile::link(dir + QStringLiteral("/real.trace"), path));
            break;
        case Hostile::BinaryBytes:
            writeFile(path, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + QByteArray(4000, '\xA5'));
            break;
        }
    }

    // Loads `path`; an unreadable file is loaded by a user whom its
    // permissions keep out, even when the test runs as root.
    Node *load(const QString &path, Hostile kind)
    {
        if (kind != Hostile::Unreadable || ::geteuid() != 0)
            return m_tracer->createNode(path, &m_root, FROM_TRACER);
        // Root reads whatever the permissions say. Another file-system user
        // (this thread only) must reach the file through the sandbox.
        const QString sandbox = TestSupport::sandboxPath();
        const QFile::Permissions kept = QFile::permissions(sandbox);
        QFile::setPermissions(sandbox, kept | QFile::ExeOther);
        ::setfsuid(65534);
        Node *const node = m_tracer->createNode(path, &m_root, FROM_TRACER);
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
        m_tracer->setLoadProgress([this](qint64, qint64) {
            if (const auto once = std::exchange(m_whileRead, {}))
                once();
        });
    }

    void cleanup()
    {
        m_whileRead = {};
        m_tracer.reset();
        QCOMPARE(m_root.childCount(), 0);
    }

    void hostileFileIsRefusedOrLoadsAndLeavesTheRestAsItWas_data()
    {
        QTest::addColumn<Hostile>("kind");
        QTest::addColumn<QString>("message"); // %1 file name, %2 path, %n any number; empty: it loads
        QTest::addColumn<int>("events");      // of the node, when it loads
        QTest::addColumn<QString>("name");    // of the node, when it loads

        const QString cantOpen = QStringLiteral("Can't open tracefile '%1'.");
        const QString parseError = QStringLiteral("error occurred while parsing element\nLine: 1, column: 1");
        const QString entities = QStringLiteral(
            "Entity declarations are not supported. Parsing has been stopped.\nLine: 3, column: ");
        QTest::newRow("a directory named like a trace file")
            << Hostile::Directory << cantOpen << 0 << QString();
        QTest::newRow("a FIFO, which would block the read") << Hostile::Fifo << cantOpen << 0 << QString();
        QTest::newRow("a link to /dev/zero, which never ends")
            << Hostile::LinkToZero << cantOpen << 0 << QString();
        QTest::newRow("a link to /dev/urandom") << Hostile::LinkToUrandom << cantOpen << 0 << QString();
        QTest::newRow("a link whose target is gone")
            << Hostile::DanglingLink << QStringLiteral("Tracefile '%1' is not exist.") << 0 << QString();
        QTest::newRow("a file without read permission") << Hostile::Unreadable << cantOpen << 0 << QString();
        QTest::newRow("a file cut off in the middle of an element")
            << Hostile::CutMidElement << QStringLiteral("unexpected end of file\nLine: 4, column: 23") << 0
            << QString();
        QTest::newRow("a file truncated while it is read")
            << Hostile::TruncatedWhileRead << QStringLiteral("unexpected end of file\nLine: %n, column: %n")
            << 0 << QString();
        QTest::newRow("a file replaced while it is read loads as it was opened")
            << Hostile::ReplacedWhileRead << QString() << 20000 << QStringLiteral("n7");
        QTest::newRow("a sparse file of four gigabytes of zeros")
            << Hostile::SparseZeros << parseError << 0 << QString();
        QTest::newRow("a trace that ends in four gigabytes of zeros")
            << Hostile::ZeroTail << QStringLiteral("Tracefile '%2' is empty or corrupted.") << 0 << QString();
        QTest::newRow("elements nested a hundred thousand deep")
            << Hostile::DeepNesting
            << QStringLiteral(
                   "Elements are nested more than 256 levels deep. Parsing has been stopped.\nLine: 1, "
                   "column: %n")
            << 0 << QString();
        QTest::newRow("a billion laughs")
            << Hostile::BillionLaughs << entities + QLatin1String("20") << 0 << QString();
        QTest::newRow("one entity referenced twenty thousand times")
            << Hostile::RepeatedEntity << entities + QLatin1String("3864") << 0 << QString();
        QTest::newRow("five thousand declared tasks")
            << Hostile::ManyTasks
            << QStringLiteral(
                   "More than 4096 tasks are declared. Parsing has been stopped.\nLine: 3, column: 105418")
            << 0 << QString();
        QTest::newRow("five thousand declared hubs")
            << Hostile::ManyHubs
            << QStringLiteral(
                   "More than 4096 hubs are declared. Parsing has been stopped.\nLine: 3, column: 101320")
            << 0 << QString();
        QTest::newRow("an attribute of eight megabytes loads")
            << Hostile::MegabyteAttribute << QString() << 1 << QString(8 << 20, QLatin1Char('x'));
        QTest::newRow("bytes that are no UTF-8 load as replacement characters")
            << Hostile::NotUtf8 << QString() << 1 << QStringLiteral("W\uFFFDrme");
        QTest::newRow("UTF-16 with a byte-order mark and CR LF loads")
            << Hostile::Utf16WithBom << QString() << 2 << QStringLiteral("n7");
        QTest::newRow("a link to a trace loads the trace")
            << Hostile::LinkToTrace << QString() << 2 << QStringLiteral("n7");
        QTest::newRow("an image renamed to .trace") << Hostile::BinaryBytes << parseError << 0 << QString();
    }

    void hostileFileIsRefusedOrLoadsAndLeavesTheRestAsItWas()
    {
        QFETCH(Hostile, kind);
        QFETCH(QString, message);
        QFETCH(int, events);
        QFETCH(QString, name);

        // Once as the first file of its directory, once beside an open node.
        for (const bool besideOpenNode : {false, true}) {
            const QString dir = newDir();
            const QString path = dir + QStringLiteral("/x.trace");
            build(kind, path);
            if (QTest::currentTestFailed())
                return;
            if (besideOpenNode)
                QVERIFY(m_tracer->createNode(dir + QStringLiteral("/a.trace"), &m_root, FROM_TRACER));
            const QStringList tree = treeTexts(&m_root);
            // Only a regular file can be written; one that the row changes
            // while it is read is left out.
            const bool writable = QFileInfo(path).isFile() && !m_whileRead;
            const QStringList before = writable ? stamp(path) : QStringList();
            m_messages.clear();

            Node *const node = load(path, kind);

            if (writable)
                QCOMPARE(stamp(path), before);
            if (message.isEmpty()) {
                QVERIFY2(node, qPrintable(m_messages.value(0)));
                QCOMPARE(node->eventCount(), events);
                QCOMPARE(node->name(), name);
                QCOMPARE(node->project()->nodeCount(), besideOpenNode ? 2 : 1);
            } else {
                QVERIFY(!node);
                QCOMPARE(m_messages.size(), 1);
                const QString filled = QString(message)
                                           .replace(QLatin1String("%1"), QLatin1String("x.trace"))
                                           .replace(QLatin1String("%2"), path);
                const QString expected =
                    QRegularExpression::escape(filled).replace(QLatin1String("\\%n"), QLatin1String("\\d+"));
                QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(expected))
                             .match(m_messages.at(0))
                             .hasMatch(),
                         qPrintable(m_messages.at(0)));
                QCOMPARE(treeTexts(&m_root), tree);
                QCOMPARE(m_tracer->projects().size(), besideOpenNode ? 1 : 0);
            }
            while (!m_tracer->projects().isEmpty())
                m_tracer->removeProject(m_tracer->projects().begin()->data());
        }
    }

    // Inputs that once broke the load, kept as files.
    void fixtureIsReadSoundly_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("logTimes"); // "task:logExecutionTime ..."

        // The event after two markers lies before them on the log axis: the
        // task's log time would go below 0, a conversion that is undefined.
        QTest::newRow("a marker further along than the event after it keeps log times at 0 or more")
            << "marker-beyond-next-event.trace"
            << "2:6 3:0";
    }

    void fixtureIsReadSoundly()
    {
        QFETCH(QString, fixture);
        QFETCH(QString, logTimes);

        const QString path = QFINDTESTDATA(QStringLiteral("fixtures/") + fixture);
        QVERIFY(!path.isEmpty());
        const Node *node = m_tracer->createNode(path, &m_root, FROM_TRACER);
        QVERIFY2(node, qPrintable(m_messages.value(0)));
        QStringList times;
        for (const auto &task : node->tasks())
            times << QStringLiteral("%1:%2").arg(task->id()).arg(task->logExecutionTime());
        QCOMPARE(times.join(QLatin1Char(' ')), logTimes);
    }

    void traceFileIsOpenedReadOnlyAndLeftUnchangedByLoadingViewingAndClosing()
    {
        const QString path =
            TestSupport::writeTempFile(QStringLiteral("readonly"), QStringLiteral("r.trace"), longTrace(3));
        {
            // An old time, so that any write would move it.
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY(file.setFileTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)),
                                     QFileDevice::FileModificationTime));
        }
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const QDir dir = QFileInfo(path).absoluteDir();
        const QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
        const QStringList before = stamp(path);

        int accessMode = -2;
        m_whileRead = [&] { accessMode = openAccessMode(path); };
        Node *const node = m_tracer->createNode(path, &m_root, FROM_TRACER);
        QVERIFY(node);
        QCOMPARE(accessMode, O_RDONLY);
        QCOMPARE(openAccessMode(path), -1); // closed again
        {
            NodeViewWindow view(node->project(), 1);
            view.show();
            QCOMPARE(view.showNode(node), QString());
            QVERIFY(QTest::qWaitForWindowExposed(&view));
            QTableWidget properties(0, 2); // as the property browser has them
            node->fillProperties(TracerItem::NODE, &properties, 0, 0);
            node->fillProperties(TracerItem::TASK_EVENT_RANGE, &properties, 0, 100);
            for (const auto &task : node->tasks())
                task->fillProperties(TracerItem::TASK, &properties, 0, 0);
        }
        m_tracer->removeProject(node->project());

        QCOMPARE(stamp(path), before);
        QCOMPARE(dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System), entries);
    }
};

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
