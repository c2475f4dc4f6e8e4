#include "trace/nodereader.h"

#include "trace/tracescanner.h"
#include "trace/xmlnodehandler.h"

#include <QXmlSimpleReader>

namespace {

// Events read before the event vector is sized from the bytes they took.
constexpr int reserveProbe = 4096;

using StartTagCount = std::function<quint64()>;

// Hands the file to the reader chunk by chunk and ends the document early
// when the reader has taken more than MaxCharsWithoutStartTag characters
// since the last chunk in which a start tag began. The reader keeps a text,
// comment or attribute whole in memory, so a trace whose end is gigabytes of
// zeros (a crash before the data reached the disk, or a file extended by
// hand) would otherwise take twice that in memory. Traces have a start tag
// every hundred bytes or so; an attribute may still run to megabytes.
class TraceInputSource : public QXmlInputSource
{
public:
    static constexpr qint64 MaxCharsWithoutStartTag = qint64(1) << 24;

    TraceInputSource(QIODevice *device, const StartTagCount &startTags)
        : QXmlInputSource(device)
        , m_startTags(startTags)
    {}

    bool overrun() const { return m_overrun; }

protected:
    void fetchData() override
    {
        if (const quint64 startTags = m_startTags(); startTags != m_startTagsAtMark) {
            m_startTagsAtMark = startTags;
            m_charsSinceMark = 0;
        }
        if (!m_overrun)
            QXmlInputSource::fetchData();
        m_charsSinceMark += data().size();
        if (m_charsSinceMark > MaxCharsWithoutStartTag) {
            m_overrun = true;
            setData(QString());
        }
    }

private:
    const StartTagCount m_startTags;
    quint64 m_startTagsAtMark = 0;
    qint64 m_charsSinceMark = 0;
    bool m_overrun = false;
};

// The scanner leaves every file that comes near the reader's limit to it.
static_assert(TraceScanner::MaxBytesWithoutStartTag < TraceInputSource::MaxCharsWithoutStartTag);

// Lets the reader run up to the start tag the node's handler refused when the
// scanner fed it, and stops it there with the handler's text: the message
// then carries the reader's own line and column, and nothing is read twice.
class RefusalReplay : public QXmlDefaultHandler
{
public:
    RefusalReplay(quint64 refusedTag, const QString &text)
        : m_refusedTag(refusedTag)
        , m_text(text)
    {}

    bool startElement(const QString &, const QString &, const QString &, const QXmlAttributes &) override
    {
        return ++m_startTags != m_refusedTag;
    }
    QString errorString() const override { return m_text; }
    quint64 startTagCount() const { return m_startTags; }
    bool stopped() const { return m_startTags == m_refusedTag; }

private:
    const quint64 m_refusedTag;
    const QString m_text;
    quint64 m_startTags = 0;
};

} // namespace

NodeReader::NodeReader(Node &node, QIODevice *device, const QString &path, const Node::LoadProgress &progress)
    : m_node(node)
    , m_device(device)
    , m_path(path)
    , m_progress(progress)
{}

void NodeReader::read(Node::ReadMode mode)
{
    if (mode == Node::ReadMode::ScanFirst && readScanned())
        return;
    readWithXmlReader();
}

// True when the scanner read the whole file into the node. Otherwise the node
// is as before, or the refusal is thrown with the reader's message.
bool NodeReader::readScanned()
{
    // The first pass only checks, so that a file left to the reader has
    // changed nothing: not even the rand() sequence behind new items' colours.
    TraceScanner scanner(m_device);
    const TraceScanner::Result check = scanner.scan(nullptr);
    throwIfCancelled();
    if (check != TraceScanner::Result::Read)
        return false;
    const qint64 checkedSize = scanner.position();

    Node::XmlNodeHandler handler(&m_node);
    handler.setPosition([&scanner] { return scanner.position(); }, [this] { return m_device->size(); });
    handler.setSizeProbe(reserveProbe);
    handler.setProgress(m_progress);
    const TraceScanner::Result result = scanner.scan(&handler);
    if (result == TraceScanner::Result::Read && scanner.position() == checkedSize)
        return true;

    // Refused, or the file changed since the check.
    m_node.clearContent();
    throwIfCancelled();
    if (result == TraceScanner::Result::Refused)
        replayRefusal(handler.startTagCount(), handler.errorString());
    return false;
}

// Throws the reader's message for the start tag the handler refused; returns
// when the reader does not stop there (the file changed since it was scanned).
void NodeReader::replayRefusal(quint64 refusedTag, const QString &text)
{
    if (!m_device->seek(0))
        return;
    RefusalReplay replay(refusedTag, text);
    Node::XmlNodeErrorHandler errorHandler;
    QXmlSimpleReader reader;
    reader.setContentHandler(&replay);
    reader.setErrorHandler(&errorHandler);
    TraceInputSource source(m_device, [&replay] { return replay.startTagCount(); });
    reader.parse(&source, false);
    if (replay.stopped() && !source.overrun())
        throw errorHandler.message();
}

void NodeReader::readWithXmlReader()
{
    m_device->seek(0);
    Node::XmlNodeHandler handler(&m_node);
    handler.setPosition([this] { return m_device->pos(); }, [this] { return m_device->size(); });
    handler.setSizeProbe(reserveProbe);
    handler.setProgress(m_progress);
    Node::XmlNodeErrorHandler errorHandler;
    QXmlSimpleReader reader;
    reader.setContentHandler(&handler);
    reader.setDeclHandler(&handler);
    reader.setErrorHandler(&errorHandler);
    TraceInputSource source(m_device, [&handler] { return handler.startTagCount(); });
    const bool ok = reader.parse(&source, false);
    throwIfCancelled();
    if (source.overrun())
        throw QStringLiteral("Tracefile '%1' is empty or corrupted.").arg(m_path);
    if (!errorHandler.message().isEmpty())
        throw errorHandler.message();
    if (!ok)
        throw QStringLiteral("Tracefile '%1' is empty or corrupted.").arg(m_path);
}

void NodeReader::throwIfCancelled() const
{
    // Whoever cancels has no use for a message.
    if (m_node.cancelled())
        throw QString();
}
