#include "app/tracer.h"
#include "hostileinputs.h"
#include "testsupport.h"
#include "trace/node.h"
#include "trace/project.h"
#include "trace/task.h"
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

using HostileInputs::fourGigabytes;
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

// What a write would change: size, modification time and the contents of files under 64 MB.
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

// The access mode (O_RDONLY, O_WRONLY, O_RDWR) this process has `path` open with; -1: not open.
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

Q_DECLARE_METATYPE(Build)

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

    // Loads `path`; an unreadable file as a user its permissions keep out, even under root.
    Node *load(const QString &path)
    {
        if (!QFileInfo(path).isFile() || (QFile::permissions(path) & QFile::ReadOwner) || ::geteuid() != 0)
            return m_tracer->createNode(path, &m_root, FROM_TRACER);
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
        QTest::addColumn<Build>("build");
        QTest::addColumn<QString>("message"); // %1 file name, %2 path, %n any number; empty: it loads
        QTest::addColumn<int>("events");      // of the node, when it loads
        QTest::addColumn<QString>("name");    // of the node, when it loads
        const auto refused = [](const char *row, const Build &build, const QString &message) {
            QTest::newRow(row) << build << message << 0 << QString();
        };
        const auto loads = [](const char *row, const Build &build, int events, const QString &name) {
            QTest::newRow(row) << build << QString() << events << name;
        };
        const auto file = [](const QByteArray &contents, qint64 size = -1) {
            return Build([=](const QString &path) {
                writeFile(path, contents);
                if (size >= 0)
                    QVERIFY(QFile::resize(path, size));
            });
        };
        const auto link = [](const QString &target) {
            return Build([=](const QString &path) {
                QVERIFY(QFile::link(QFileInfo(path).dir().absoluteFilePath(target), path));
            });
        };
        const auto changedWhileRead = [this](const std::function<void(const QString &)> &change) {
            return Build([=](const QString &path) {
                writeFile(path, longTrace(7));
                m_whileRead = [=] { change(path); };
            });
        };
        const QString cantOpen = QStringLiteral("Can't open tracefile '%1'.");
        const QString stopped = QStringLiteral(" Parsing has been stopped.\nLine: ");
        const QString entities = QStringLiteral("Entity declarations are not supported.") + stopped;

        refused(
            "a directory named like a trace file", [](const QString &path) { QVERIFY(QDir().mkpath(path)); },
            cantOpen);
        refused(
            "a FIFO, which would block the read",
            [](const QString &path) { QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0); },
            cantOpen);
        refused("a link to /dev/zero, which never ends", link(QStringLiteral("/dev/zero")), cantOpen);
        refused("a link whose target is gone", link(QStringLiteral("gone.trace")),
                QStringLiteral("Tracefile '%1' is not exist."));
        refused(
            "a file without read permission",
            [](const QString &path) {
                writeFile(path, smallTrace(7));
                QVERIFY(QFile::setPermissions(path, QFile::Permissions()));
            },
            cantOpen);
        refused("a file cut off in the middle of an element", file(HostileInputs::cutOffInElement()),
                QStringLiteral("unexpected end of file\nLine: 4, column: 23"));
        refused("a file truncated while it is read",
                changedWhileRead([](const QString &path) { QVERIFY(QFile::resize(path, 1000)); }),
                QStringLiteral("unexpected end of file\nLine: %n, column: %n"));
        loads("a file replaced while it is read loads as it was opened",
              changedWhileRead([](const QString &path) {
                  const QString fresh = path + QStringLiteral(".new");
                  writeFile(fresh, smallTrace(8));
                  QCOMPARE(
                      std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()),
                      0);
              }),
              20000, QStringLiteral("n7"));
        refused("a sparse file of four gigabytes of zeros", file(QByteArray(), fourGigabytes),
                QStringLiteral("error occurred while parsing element\nLine: 1, column: 1"));
        refused("a trace that ends in four gigabytes of zeros",
                file(HostileInputs::beforeZeroTail(), fourGigabytes),
                QStringLiteral("Tracefile '%2' is empty or corrupted."));
        refused("elements nested a hundred thousand deep", file(HostileInputs::nestedDeep()),
                QStringLiteral("Elements are nested more than 256 levels deep.") + stopped +
                    QStringLiteral("1, column: %n"));
        refused("a billion laughs", file(HostileInputs::billionLaughs()),
                entities + QStringLiteral("3, column: 20"));
        refused("one entity referenced twenty thousand times", file(HostileInputs::entityReferencedOften()),
                entities + QStringLiteral("3, column: 3864"));
        refused("five thousand declared tasks", file(HostileInputs::tooManyTasks()),
                QStringLiteral("More than 4096 tasks are declared.") + stopped +
                    QStringLiteral("3, column: 105418"));
        loads("an attribute of eight megabytes loads", file(HostileInputs::bigAttribute()), 1,
              QString(8 << 20, QLatin1Char('x')));
        loads("bytes that are no UTF-8 load as replacement characters", file(HostileInputs::notUtf8()), 1,
              QStringLiteral("W\uFFFDrme"));
        loads("UTF-16 with a byte-order mark and CR LF loads", file(HostileInputs::utf16WithBom()), 2,
              QStringLiteral("n7"));
        loads(
            "a link to a trace loads the trace",
            [](const QString &path) {
                writeFile(QFileInfo(path).path() + QStringLiteral("/real.trace"), smallTrace(7));
                QVERIFY(QFile::link(QFileInfo(path).path() + QStringLiteral("/real.trace"), path));
            },
            2, QStringLiteral("n7"));
    }

    void hostileFileIsRefusedOrLoadsAndLeavesTheRestAsItWas()
    {
        QFETCH(Build, build);
        QFETCH(QString, message);
        QFETCH(int, events);
        QFETCH(QString, name);

        // Once as the first file of its directory, once beside an open node.
        for (const bool besideOpenNode : {false, true}) {
            const QString dir = newDir();
            const QString path = dir + QStringLiteral("/x.trace");
            build(path);
            if (QTest::currentTestFailed())
                return;
            if (besideOpenNode)
                QVERIFY(m_tracer->createNode(dir + QStringLiteral("/a.trace"), &m_root, FROM_TRACER));
            const QStringList tree = treeTexts(&m_root);
            // Only a regular file can be written; one the row changes while it is read is left out.
            const bool writable = QFileInfo(path).isFile() && !m_whileRead;
            const QStringList before = writable ? stamp(path) : QStringList();
            m_messages.clear();

            Node *const node = load(path);

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
                const QString expected =
                    QRegularExpression::escape(QString(message)
                                                   .replace(QLatin1String("%1"), QLatin1String("x.trace"))
                                                   .replace(QLatin1String("%2"), path))
                        .replace(QLatin1String("\\%n"), QLatin1String("\\d+"));
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

    // The event after two markers lies before them on the log axis: the task's
    // log time would go below 0, a conversion that is undefined.
    void markerBeyondTheNextEventKeepsLogTimesAtZeroOrMore()
    {
        const QString path = QFINDTESTDATA("fixtures/marker-beyond-next-event.trace");
        QVERIFY(!path.isEmpty());
        const Node *node = m_tracer->createNode(path, &m_root, FROM_TRACER);
        QVERIFY2(node, qPrintable(m_messages.value(0)));
        QStringList times;
        for (const auto &task : node->tasks())
            times << QStringLiteral("%1:%2").arg(task->id()).arg(task->logExecutionTime());
        QCOMPARE(times.join(QLatin1Char(' ')), QStringLiteral("2:6 3:0"));
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
