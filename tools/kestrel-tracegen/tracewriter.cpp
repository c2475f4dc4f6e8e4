#include "tracewriter.h"

#include <QIODevice>

#include <cstring>

namespace {

constexpr int flushThreshold = 1 << 20; // bytes gathered before a device write

void appendLiteral(QByteArray &buffer, const char *text)
{
    buffer.append(text, int(std::strlen(text)));
}

} // namespace

TraceWriter::TraceWriter(QIODevice *device, NumberStyle style)
    : m_device(device)
    , m_style(style)
{
    m_buffer.reserve(flushThreshold + 4096);
}

void TraceWriter::writeHeader(const TraceHeader &header)
{
    appendLiteral(m_buffer, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<node id=\"");
    appendDecimal(header.nodeId);
    appendLiteral(m_buffer, "\" name=\"");
    m_buffer.append(header.nodeName.toHtmlEscaped().toUtf8());
    appendLiteral(m_buffer, "\">\n");
    appendNamedIds("tasks", "task", header.tasks, false);
    appendNamedIds("hubs", "hub", header.hubs, false);
    appendNamedIds("services", "service", header.services, m_style == NumberStyle::CompactHex);
    appendLiteral(m_buffer, "  <trace lowCounterHz=\"");
    appendDecimal(header.lowCounterHz);
    appendLiteral(m_buffer, "\" highCounterHz=\"");
    appendDecimal(header.highCounterHz);
    appendLiteral(m_buffer, "\">\n");
}

void TraceWriter::writeEvent(int type, quint32 lowCounter, quint32 highCounter, qint32 param1, qint32 param2)
{
    appendLiteral(m_buffer, "    <event type=\"");
    appendDecimal(type);
    appendLiteral(m_buffer, "\" lowCounter=\"");
    appendDecimal(lowCounter);
    appendLiteral(m_buffer, "\" highCounter=\"");
    if (m_style == NumberStyle::HexHighCounter) {
        // The high counter is read as unsigned, so its full range may be hex.
        appendLiteral(m_buffer, "0x");
        appendHex(highCounter, 8, true);
    } else {
        appendDecimal(highCounter);
    }
    appendLiteral(m_buffer, "\" param1=\"");
    appendSignedField(param1);
    appendLiteral(m_buffer, "\" param2=\"");
    appendSignedField(param2);
    appendLiteral(m_buffer, "\"/>\n");
    flushIfFull();
}

bool TraceWriter::finish()
{
    appendLiteral(m_buffer, "  </trace>\n</node>\n");
    flush();
    return m_ok;
}

void TraceWriter::appendDecimal(qint64 value)
{
    char digits[24];
    char *end = digits + sizeof(digits);
    char *p = end;
    // Work on the magnitude as unsigned so that the most negative value works.
    quint64 magnitude = value < 0 ? 0 - quint64(value) : quint64(value);
    do {
        *--p = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        *--p = '-';
    m_buffer.append(p, int(end - p));
}

void TraceWriter::appendHex(quint32 value, int minDigits, bool upperCase)
{
    const char *alphabet = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    char digits[8];
    int count = 0;
    do {
        digits[7 - count++] = alphabet[value & 0xF];
        value >>= 4;
    } while (value != 0);
    while (count < minDigits)
        digits[7 - count++] = '0';
    m_buffer.append(digits + 8 - count, count);
}

void TraceWriter::appendSignedField(qint32 value)
{
    if (value < 0) {
        appendDecimal(value);
        return;
    }
    appendLiteral(m_buffer, "0x");
    if (m_style == NumberStyle::CompactHex)
        appendHex(quint32(value), 1, false);
    else
        appendHex(quint32(value), 8, true);
}

void TraceWriter::appendNamedIds(const char *group, const char *element, const QVector<NamedId> &items,
                                 bool hexIds)
{
    m_buffer.append("  <").append(group).append(">\n");
    for (const NamedId &item : items) {
        m_buffer.append("    <").append(element).append(" id=\"");
        if (hexIds && item.id >= 0) {
            appendLiteral(m_buffer, "0x");
            appendHex(quint32(item.id), 2, true);
        } else {
            appendDecimal(item.id);
        }
        appendLiteral(m_buffer, "\" name=\"");
        m_buffer.append(item.name.toHtmlEscaped().toUtf8());
        appendLiteral(m_buffer, "\"/>\n");
    }
    m_buffer.append("  </").append(group).append(">\n");
}

void TraceWriter::flushIfFull()
{
    if (m_buffer.size() >= flushThreshold)
        flush();
}

void TraceWriter::flush()
{
    if (m_buffer.isEmpty())
        return;
    if (m_device->write(m_buffer) != m_buffer.size())
        m_ok = false;
    m_bytesWritten += m_buffer.size();
    m_buffer.resize(0); // keeps the capacity for the next round
}
