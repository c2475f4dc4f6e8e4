#pragma once

#include "trace/node.h"

class QIODevice;

// Reads one trace file into a node. The trace scanner goes first; every file
// it does not fully understand is read again, from a fresh node, by the XML
// reader (QXmlSimpleReader), so that every file reads as that reader reads it
// and every message, with its line and column, is that reader's.
class NodeReader
{
public:
    // `device` (open, at its start) holds the file found at `path`; neither
    // is owned. `progress` hears how far the read is now and then.
    NodeReader(Node &node, QIODevice *device, const QString &path, const Node::LoadProgress &progress);

    // Fills the node from the file. Throws the finished user message as a
    // QString when the file is refused, an empty one when the node's read is
    // cancelled; the node is then left half filled.
    void read(Node::ReadMode mode);

private:
    bool readScanned();
    void replayRefusal(quint64 refusedTag, const QString &text);
    void readWithXmlReader();
    void throwIfCancelled() const;

    Node &m_node;
    QIODevice *const m_device;
    const QString m_path;
    const Node::LoadProgress m_progress;
};
