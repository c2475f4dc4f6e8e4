// The trace scanner and the XML reader read every file alike: the same node,
// down to each derived value and each item's colour, or the same refusal text.

#include "hostileinputs.h"
#include "testsupport.h"
#include "trace/eventcatalogue.h"
#include "trace/hub.h"
#include "trace/node.h"
#include "trace/task.h"
#include "trace/tracescanner.h"
#include "tracefixture.h"
#include "tracegenerator.h"

#include <QDirIterator>
#include <QtTest>

#include <algorithm>
#include <cstdlib>
#include <type_traits>

using TraceFixture::eventXml;
using TraceFixture::traceFile;

namespace {

template<typename Value> QString text(const Value &value)
{
    if constexpr (std::is_same_v<Value, QString>)
        return QLatin1Char('\'') + value + QLatin1Char('\'');
    else if constexpr (std::is_same_v<Value, QColor>)
        return value.name(QColor::HexArgb);
    else if constexpr (std::is_same_v<Value, float>)
        return QString::number(double(value), 'g', 9); // enough digits to tell every float apart
    else
        return QString::number(value);
}

template<typename... Values> QString line(const char *what, const Values &...values)
{
    return (QStringList{QLatin1String(what)} << ... << text(values)).join(QLatin1Char(' '));
}

void describeEvents(const Node &node, QStringList &lines)
{
    for (const TraceEvent &e : node.events()) {
        lines << line("event", e.timestamp, e.offset, e.logPosition, e.duration, e.logDuration, e.type,
                      e.arg1, e.arg2, e.nodeId, e.currentTask, e.timecut, e.isMarker, e.flags());
    }
}

void describeItems(const Node &node, QStringList &lines)
{
    for (const auto &t : node.tasks()) {
        lines << line("task", t->id(), t->name(), int(t->role()), t->colour(), t->executionTime(),
                      t->logExecutionTime(), t->activationTime(), t->share());
    }
    for (const auto *hubs : {&node.hubs(), &node.remoteHubs()}) {
        for (auto h = hubs->cbegin(); h != hubs->cend(); ++h) {
            lines << line("hub", h.key(), h.value()->id(), h.value()->name(), h.value()->hubNodeId(),
                          int(h.value()->isListed()), h.value()->colour(), h.value()->sendRequests(),
                          h.value()->receiveRequests(), h.value()->sendKernelRequests(),
                          h.value()->receiveKernelRequests());
        }
    }
    for (auto s = node.services().cbegin(); s != node.services().cend(); ++s) {
        lines << line("service", s.key(), s->id, s->code, s->name, s->iconPath, int(s->targetIsTask),
                      int(s->icon.isNull()));
    }
}

void describePackets(const Node &node, QStringList &lines)
{
    QStringList refs;
    for (auto r = node.packetRefs().cbegin(); r != node.packetRefs().cend(); ++r)
        refs << line("packet", r.key(), r->eventIndex, r->high, r->type);
    QList<quint32> keys(node.packetKeys().cbegin(), node.packetKeys().cend());
    std::sort(refs.begin(), refs.end());
    std::sort(keys.begin(), keys.end());
    lines << refs;
    for (const quint32 key : keys)
        lines << line("key", key);
}

// Everything one read of the file gives, a line per item, ending in the
// rand() value the next new item would draw: item colours come from it.
QStringList readOnce(const QString &path, const EventCatalogue &catalogue, Node::ReadMode mode)
{
    std::srand(1);
    QStringList lines;
    try {
        const Node node(path, nullptr, FROM_TRACER, &catalogue, {}, mode);
        lines << line("node", node.nodeId(), node.name(), node.lowCounterHz(), node.highCounterHz(),
                      node.totalTime(), node.logLength(), node.logLengthInt(), node.firstSeq(),
                      node.lastSeq(), int(node.inTimeOrder()));
        describeEvents(node, lines);
        describeItems(node, lines);
        describePackets(node, lines);
    } catch (const QString &message) {
        lines << line("refused", message);
    }
    lines << line("next rand()", std::rand());
    return lines;
}

bool scannerReadsItself(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && TraceScanner(&file).scan(nullptr) == TraceScanner::Result::Read;
}

QString writeFile(const QString &name, const QByteArray &contents, qint64 size = -1)
{
    const QString path = TestSupport::writeTempFile(QStringLiteral("differential"), name, contents);
    if (size >= 0 && !QFile::resize(path, size))
        qFatal("cannot extend %s", qPrintable(path));
    return path;
}

// A trace with a declaration, a task, a hub, a service and events of every
// kind that derives something: the canvas for the edge cases below.
QByteArray canvas()
{
    return traceFile(
        3,
        "<tasks>\n<task id=\"1\" name=\"Worker\"/>\n</tasks>\n<hubs>\n<hub id=\"2\" name=\"Box\"/>\n"
        "</hubs>\n<services>\n<service id=\"8\" name=\"Ks_Send_To_Hub_W\"/>\n</services>\n",
        eventXml(0, 10, 0, 0x301) + eventXml(1, 20, 8, 0x302) + eventXml(4, 30, 0x300, 0x10007) +
            eventXml(16, 40, 0x10005, 9) + eventXml(-1, 50, 8, 0x302),
        "1000", "1000000");
}

QByteArray replaced(const char *before, const QByteArray &after)
{
    const QByteArray original = canvas();
    if (!original.contains(before))
        qFatal("the canvas has no %s", before);
    return QByteArray(original).replace(before, after);
}

} // namespace

class TestDifferential : public QObject
{
    Q_OBJECT

private:
    const EventCatalogue m_catalogue;

    void compareReads(const QString &path)
    {
        const QStringList byReader = readOnce(path, m_catalogue, Node::ReadMode::XmlReaderOnly);
        const QStringList byScanner = readOnce(path, m_catalogue, Node::ReadMode::ScanFirst);
        const auto [reader, scanner] =
            std::mismatch(byReader.cbegin(), byReader.cend(), byScanner.cbegin(), byScanner.cend());
        const auto shown = [](QStringList::const_iterator at, const QStringList &lines) {
            return at == lines.cend() ? QStringLiteral("(nothing)") : at->left(300);
        };
        QVERIFY2(reader == byReader.cend() && scanner == byScanner.cend(),
                 qPrintable(QStringLiteral("line %1 differs\n  XML reader: %2\n  scanner:    %3")
                                .arg(reader - byReader.cbegin() + 1)
                                .arg(shown(reader, byReader), shown(scanner, byScanner))));
    }

private slots:
    void everyFileReadsAlikeBothWays_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("exported"); // as an exporter writes it: the scanner must read it itself

        const QDir source(QStringLiteral(KESTREL_SOURCE_DIR));
        for (const char *folder :
             {"tests/cli/fixtures", "tests/trace/fixtures", "fuzz/corpus/load", "demo"}) {
            QDirIterator files(source.filePath(QLatin1String(folder)), QDir::Files,
                               QDirIterator::Subdirectories);
            QStringList paths;
            while (files.hasNext())
                paths << files.next();
            paths.sort();
            for (const QString &path : std::as_const(paths)) {
                if (!path.endsWith(QLatin1String(".md"))) {
                    QTest::addRow("repository file %s", qPrintable(source.relativeFilePath(path)))
                        << path << QLatin1String(folder).startsWith(QLatin1String("demo"));
                }
            }
        }
        for (const HostileInputs::Input &input : HostileInputs::all()) {
            QTest::addRow("hostile input: %s", input.name)
                << writeFile(QStringLiteral("hostile.trace"), input.contents, input.size) << false;
        }
        for (const quint64 seed : {1, 7, 1234}) {
            const QString dir = TestSupport::sandboxPath() + QStringLiteral("/generated%1").arg(seed);
            TraceGenerator generator({3, 3000, seed});
            if (!generator.generate(dir))
                qFatal("%s", qPrintable(generator.errorString()));
            for (const auto &summary : generator.summaries()) {
                QTest::addRow("generated with seed %llu: %s", seed, qPrintable(summary.fileName))
                    << dir + QLatin1Char('/') + summary.fileName << true;
            }
        }
    }

    void everyFileReadsAlikeBothWays()
    {
        QFETCH(QString, path);
        QFETCH(bool, exported);
        if (exported)
            QVERIFY(scannerReadsItself(path));
        compareReads(path);
    }

    void edgesOfWhatTheScannerReadsReadAlike_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("scanned"); // the scanner reads it itself

        const auto row = [](const char *name, const QByteArray &contents, bool scanned) {
            QTest::newRow(name) << contents << scanned;
        };
        const char *const declaration = "<?xml version=\"1.0\"?>";
        const auto declared = [&](const QByteArray &as) { return replaced(declaration, as); };
        row("the canvas itself", canvas(), true);
        row("no declaration", declared(QByteArray()), true);
        row("declared UTF-8 in single quotes and lower case",
            declared("<?xml version='1.0' encoding='utf-8'?>"), true);
        row("declared Latin-1", declared("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"), false);
        row("a blank before the declaration", " " + canvas(), false);
        row("a byte-order mark", "\xEF\xBB\xBF" + canvas(), false);
        row("CR LF line ends and tabs between attributes",
            QByteArray(canvas()).replace("\n", "\r\n").replace("\" ", "\"\t"), true);
        row("blanks around the equals sign", replaced("id=\"3\"", "id = \"3\""), true);
        row("single-quoted values", replaced("name=\"Worker\"", "name='Wor\"ker'"), true);
        row("every reference the scanner reads",
            replaced("name=\"Worker\"", "name=\"&lt;&gt;&amp;&quot;&apos;&#65;&#x42;&#x4a;&#00067;\""), true);
        row("a less-than sign in a value", replaced("name=\"Worker\"", "name=\"a<b\""), false);
        row("tabs and line feeds kept in a value", replaced("name=\"Worker\"", "name=\"a\tb\nc\""), true);
        row("a control character in a value", replaced("name=\"Worker\"", "name=\"a\x01z\""), false);
        row("a byte beyond ASCII", replaced("name=\"Worker\"", "name=\"W\xc3\xa4rme\""), false);
        row("attributes without a blank between", replaced("\" lowCounter", "\"lowCounter"), false);
        row("a repeated attribute", replaced("<node id=\"3\"", "<node id=\"3\" id=\"4\""), false);
        row("seventeen attributes",
            replaced("<hub id", "<hub a=\"\" b=\"\" c=\"\" d=\"\" e=\"\" f=\"\" g=\"\" h=\"\" "
                                "i=\"\" j=\"\" k=\"\" l=\"\" m=\"\" n=\"\" o=\"\" id"),
            false);
        const QByteArray longName(65, 'x');
        row("an element name of 65 bytes",
            replaced("<tasks>", "<" + longName + "></" + longName + "><tasks>"), false);
        row("a comment between elements", replaced("<tasks>", "<!-- x --><tasks>"), false);
        row("a document type", replaced(declaration, declaration + QByteArray("<!DOCTYPE node>")), false);
        row("text between elements", replaced("<tasks>", "x<tasks>"), false);
        row("an end tag that does not match", replaced("</trace>", "</tracE>"), false);
        row("content after the root", canvas() + "<node id=\"4\"/>", false);
        row("blanks after the root", canvas() + " \r\n\t", true);
        // The XML reader gives up 2^24 characters after the last start tag;
        // the scanner leaves whatever comes near that to it.
        const qint64 limit = TraceScanner::MaxBytesWithoutStartTag;
        row("blanks after the root up to the scanner's limit", canvas() + QByteArray(limit - 100, ' '), true);
        row("blanks after the root beyond the reader's limit", canvas() + QByteArray(17 << 20, ' '), false);
        row("only a declaration", QByteArray(declaration), false);
        row("a root left open", "<node id=\"5\">", false);
        const QByteArray open = QByteArray("<a>").repeated(255);
        const QByteArray close = QByteArray("</a>").repeated(255);
        row("elements 256 deep", "<node id=\"5\">" + open + close + "</node>", true);
        row("an empty element 257 deep", "<node id=\"5\">" + open + "<a/>" + close + "</node>", true);
        row("elements 257 deep", "<node id=\"5\">" + open + "<a></a>" + close + "</node>", false);
        row("a refusal by the node's rules", replaced("<tasks>", "<task id=\"1\" name=\"x\"/><tasks>"), true);
    }

    void edgesOfWhatTheScannerReadsReadAlike()
    {
        QFETCH(QByteArray, contents);
        const QString path = writeFile(QStringLiteral("edge.trace"), contents);
        QTEST(scannerReadsItself(path), "scanned");
        compareReads(path);
    }

    // Wherever a file breaks off, both ways end alike: in the middle of a
    // name, a value, a reference, a tag or between tags.
    void everyCutOfATraceReadsAlike()
    {
        const QByteArray whole =
            replaced("name=\"Worker\"", "name=\"W&amp;&#x4b;\"")
                .replace("<?xml version=\"1.0\"?>", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
        for (int length = 0; length <= whole.size(); ++length) {
            compareReads(writeFile(QStringLiteral("cut.trace"), whole.left(length)));
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(QStringLiteral("after %1 bytes").arg(length)));
        }
    }
};

QTEST_MAIN(TestDifferential)
#include "tst_differential.moc"
