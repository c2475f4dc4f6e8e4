#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

class QIODevice;

struct NamedId
{
    int id = 0;
    QString name;
};

// Everything a trace file says about its node before the first event.
struct TraceHeader
{
    int nodeId = 0;
    QString nodeName;
    QVector<NamedId> tasks;
    QVector<NamedId> hubs;
    QVector<NamedId> services;
    quint32 lowCounterHz = 0;
    quint32 highCounterHz = 0;
};

// Streams one node's trace document. Event lines are formatted by hand: they
// are nearly the whole file, and a million of them must take seconds, not
// minutes.
class TraceWriter
{
public:
    // How a node's exporter spells numbers. The recorders in the field differ;
    // every spelling reads back to the same values.
    enum class NumberStyle {
        PaddedHex,     // params as 0x%08X
        CompactHex,    // params as 0x%x, service ids in hex
        HexHighCounter // params as 0x%08X, high counter in hex as well
    };

    TraceWriter(QIODevice *device, NumberStyle style);

    void writeHeader(const TraceHeader &header);
    void writeEvent(int type, quint32 lowCounter, quint32 highCounter, qint32 param1, qint32 param2);
    // Closes the document and hands the rest to the device; false when the
    // device refused any of the data.
    bool finish();

    qint64 bytesWritten() const { return m_bytesWritten + m_buffer.size(); }

private:
    void appendDecimal(qint64 value);
    void appendHex(quint32 value, int minDigits, bool upperCase);
    // A signed field: hexadecimal only while the value fits a signed 32-bit
    // number, since the reader takes 0x80000000 and above as out of range.
    void appendSignedField(qint32 value);
    void appendNamedIds(const char *group, const char *element, const QVector<NamedId> &items, bool hexIds);
    void flushIfFull();
    void flush();

    QIODevice *m_device;
    NumberStyle m_style;
    QByteArray m_buffer;
    qint64 m_bytesWritten = 0;
    bool m_ok = true;
};
