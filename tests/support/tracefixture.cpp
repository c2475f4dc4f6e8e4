#include "tracefixture.h"

namespace TraceFixture {

QByteArray traceFile(int nodeId, const QByteArray &declarations, const QByteArray &events,
                     const QByteArray &lowHz, const QByteArray &highHz)
{
    return "<?xml version=\"1.0\"?>\n<node id=\"" + QByteArray::number(nodeId) + "\" name=\"n" +
           QByteArray::number(nodeId) + "\">\n" + declarations + "<trace lowCounterHz=\"" + lowHz +
           "\" highCounterHz=\"" + highHz + "\">\n" + events + "</trace>\n</node>\n";
}

QByteArray eventXml(int type, quint32 highCounter, qint32 param1, qint32 param2, quint32 lowCounter)
{
    return "<event type=\"" + QByteArray::number(type) + "\" lowCounter=\"" + QByteArray::number(lowCounter) +
           "\" highCounter=\"" + QByteArray::number(highCounter) + "\" param1=\"" +
           QByteArray::number(param1) + "\" param2=\"" + QByteArray::number(param2) + "\"/>\n";
}

} // namespace TraceFixture
