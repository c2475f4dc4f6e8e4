#pragma once

#include <QString>
#include <QVector>

// Simulates a small Corvos network, nodes joined in a chain of links, and
// writes what each node's trace recorder would have exported: one trace file
// per node, with task switches, service calls, interrupts, markers and the
// packets that travel between the nodes, each node on its own clock.
class TraceGenerator
{
public:
    struct Options
    {
        int nodes = 3;
        int eventsPerNode = 5000;
        quint64 seed = 1;
    };

    struct NodeSummary
    {
        QString fileName;
        int nodeId = 0;
        QString nodeName;
        int events = 0;
        quint32 lowCounterHz = 0;
        quint32 highCounterHz = 0;
        qint64 firstClockNs = 0; // the node's own clock at its first and last event
        qint64 lastClockNs = 0;
        int packetsSent = 0;
        int packetsRouted = 0;
        int packetsReceived = 0;
        qint64 bytes = 0;
    };

    // Node ids travel in one byte of the packed parameters; more than a few
    // dozen nodes on one chain would not make a readable chart anyway.
    static constexpr int maxNodes = 64;
    // Keeps every node's clock below 2^32 microseconds, where the viewer's
    // timestamps would wrap.
    static constexpr int maxEventsPerNode = 10000000;

    explicit TraceGenerator(const Options &options);

    // Empty when the options can be generated, otherwise what is wrong.
    static QString checkOptions(const Options &options);

    // Writes node1.trace, node2.trace, ... into directory, creating it when
    // missing. Existing files of those names are replaced.
    bool generate(const QString &directory);

    QString errorString() const { return m_error; }
    QVector<NodeSummary> summaries() const { return m_summaries; }

    static QString fileNameFor(int nodeIndex);

private:
    Options m_options;
    QString m_error;
    QVector<NodeSummary> m_summaries;
};
