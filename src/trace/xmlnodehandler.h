#pragma once

#include "trace/node.h"
#include "trace/tracescanner.h"

#include <QXmlDefaultHandler>

// Reads the elements of a trace file into a node as the SAX reader, or the
// trace scanner, meets their start tags: the one place that says what an
// element means. Nesting and end tags play no part in what is read: only the
// order in which start tags appear does. As declaration handler it turns
// away every entity declaration, since entities let a small file expand
// without bound.
class Node::XmlNodeHandler : public QXmlContentHandler, public QXmlDeclHandler, public TraceScanner::Sink
{
public:
    // The reader descends one call level per open element and has no bound of
    // its own: some ten thousand levels overflow the stack. A trace needs three.
    static constexpr int MaxDepth = 256;
    // Events name tasks and hubs by one byte, so a node uses at most 256 of
    // each; every declared one costs a tree entry and an icon (some kB).
    static constexpr int MaxDeclared = 4096;

    // A figure of the read, in bytes.
    using Bytes = std::function<qint64()>;

    explicit XmlNodeHandler(Node *node);
    // How far into the file the read is and how long the file is; without
    // them the two below do nothing.
    void setPosition(const Bytes &bytesRead, const Bytes &fileSize)
    {
        m_bytesRead = bytesRead;
        m_fileSize = fileSize;
    }
    // After `events` events, sizes the node's event vector from how much of
    // the file they took.
    void setSizeProbe(int events) { m_probeEvents = events; }
    // Reports how far into the file the read is, every few thousand events;
    // the node's cancel flag is looked at as often.
    void setProgress(const LoadProgress &progress) { m_progress = progress; }

    bool startElement(const QString &namespaceURI, const QString &localName, const QString &qName,
                      const QXmlAttributes &atts) override;
    bool startTag(QLatin1String name, const TraceScanner::Attributes &atts) override;
    bool endTag() override
    {
        --m_depth;
        return true;
    }
    // Start tags met so far, of every element.
    quint64 startTagCount() const { return m_startTags; }
    QString errorString() const override { return m_error; }

    void setDocumentLocator(QXmlLocator *) override {}
    bool startDocument() override { return true; }
    bool endDocument() override { return true; }
    bool startPrefixMapping(const QString &, const QString &) override { return true; }
    bool endPrefixMapping(const QString &) override { return true; }
    bool endElement(const QString &, const QString &, const QString &) override
    {
        --m_depth;
        return true;
    }
    bool characters(const QString &) override { return true; }
    bool ignorableWhitespace(const QString &) override { return true; }
    bool processingInstruction(const QString &, const QString &) override { return true; }
    bool skippedEntity(const QString &) override { return true; }

    bool attributeDecl(const QString &, const QString &, const QString &, const QString &,
                       const QString &) override
    {
        return true;
    }
    bool internalEntityDecl(const QString &, const QString &) override { return refuseEntity(); }
    bool externalEntityDecl(const QString &, const QString &, const QString &) override
    {
        return refuseEntity();
    }

private:
    bool fail(const QString &text);
    bool refuseEntity();
    bool tooManyDeclared(const char *what);
    // Reports the position now and then; false once the read is cancelled.
    bool reportPosition();
    // Written once for the attributes of both readers (QXmlAttributes and
    // TraceScanner::Attributes), whose value() answers alike.
    template<typename Name, typename Attributes> bool element(const Name &localName, const Attributes &atts);
    template<typename Attributes>
    bool checkDeclaration(const Attributes &atts, bool folderSeen, const char *element);
    template<typename Attributes> bool readNode(const Attributes &atts);
    template<typename Attributes> bool readTask(const Attributes &atts);
    template<typename Attributes> bool readHub(const Attributes &atts);
    template<typename Attributes> bool readService(const Attributes &atts);
    template<typename Attributes> bool readTrace(const Attributes &atts);
    template<typename Attributes> bool readEvent(const Attributes &atts);

    Node *const m_node;
    Bytes m_bytesRead;
    Bytes m_fileSize;
    int m_probeEvents = 0;
    LoadProgress m_progress;
    QString m_error;
    int m_depth = 0; // elements open at the current start tag, itself included
    quint64 m_startTags = 0;
    bool m_nodeIdSeen = false;
    bool m_nodeNameSeen = false;
    bool m_tasksSeen = false;
    bool m_hubsSeen = false;
    bool m_servicesSeen = false;
    bool m_traceSeen = false;
    bool m_lowFrequencyRead = false;
    bool m_highFrequencyRead = false;
};

// Turns every complaint of the reader, even a warning, into the end of the
// read, keeping the message with the line and column the reader reports.
class Node::XmlNodeErrorHandler : public QXmlErrorHandler
{
public:
    bool warning(const QXmlParseException &exception) override { return stop(exception); }
    bool error(const QXmlParseException &exception) override { return stop(exception); }
    bool fatalError(const QXmlParseException &exception) override { return stop(exception); }
    QString errorString() const override { return QString(); }

    // The message + "\nLine: " + line + ", column: " + column of the first
    // complaint; empty when there was none.
    const QString &message() const { return m_message; }

private:
    bool stop(const QXmlParseException &exception);

    QString m_message;
};
