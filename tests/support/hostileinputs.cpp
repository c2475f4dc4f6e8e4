#include "hostileinputs.h"

#include "tracefixture.h"

using TraceFixture::eventXml;
using TraceFixture::traceFile;

namespace HostileInputs {

QByteArray smallTrace(int nodeId)
{
    return traceFile(nodeId, "<tasks><task id=\"1\" name=\"Worker\"/></tasks>\n",
                     eventXml(0, 10, 0, 0x101) + eventXml(1, 20, 0, 0x101));
}

QByteArray longTrace(int nodeId, int events)
{
    QByteArray list;
    for (int i = 0; i < events; ++i)
        list += eventXml(i % 2, quint32(10 * i), 0, 0x101 + i % 2);
    return traceFile(nodeId, QByteArray(), list);
}

QByteArray cutOffInElement()
{
    return "<?xml version=\"1.0\"?>\n<node id=\"7\">\n<trace lowCounterHz=\"0\" "
           "highCounterHz=\"1000\">\n<event type=\"0\" lowCou";
}

QByteArray nestedDeep()
{
    return "<node id=\"7\">" + QByteArray("<a>").repeated(100000) + QByteArray("</a>").repeated(100000) +
           "</node>";
}

QByteArray billionLaughs()
{
    QByteArray laughs = "<!ENTITY lol0 \"lol\">\n";
    for (int i = 1; i < 10; ++i)
        laughs += "<!ENTITY lol" + QByteArray::number(i) + " \"" +
                  ("&lol" + QByteArray::number(i - 1) + ";").repeated(10) + "\">\n";
    return "<?xml version=\"1.0\"?>\n<!DOCTYPE node [\n" + laughs + "]>\n<node id=\"7\" name=\"&lol9;\"/>\n";
}

QByteArray entityReferencedOften()
{
    // Each reference stays below the limit for one entity; together a million events from 64 kB.
    return "<?xml version=\"1.0\"?>\n<!DOCTYPE node [\n<!ENTITY e '" + eventXml(1, 5).trimmed().repeated(55) +
           "'>\n]>\n" + traceFile(7, QByteArray(), QByteArray("&e;").repeated(20000)).mid(22);
}

QByteArray tooManyTasks()
{
    QByteArray tasks = "<tasks>";
    for (int id = 0; id < 5000; ++id)
        tasks += "<task id=\"" + QByteArray::number(id) + "\" name=\"x\"/>";
    return traceFile(7, tasks + "</tasks>\n", eventXml(0, 10));
}

QByteArray bigAttribute()
{
    return traceFile(7, QByteArray(), eventXml(0, 10))
        .replace("name=\"n7\"", "name=\"" + QByteArray(8 << 20, 'x') + '"');
}

QByteArray notUtf8()
{
    return traceFile(7, QByteArray(), eventXml(0, 10))
        .replace("<?xml version=\"1.0\"?>", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>")
        .replace("name=\"n7\"", "name=\"W\xe4rme\"");
}

QByteArray utf16WithBom()
{
    const QString text = QString::fromLatin1(
        traceFile(7, QByteArray(), eventXml(0, 10) + eventXml(1, 20))
            .replace("<?xml version=\"1.0\"?>", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>")
            .replace("\n", "\r\n"));
    return QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

QByteArray beforeZeroTail()
{
    return longTrace(7, 100).chopped(int(qstrlen("</trace>\n</node>\n")));
}

QList<Input> all()
{
    return {{"a small trace", smallTrace(7)},
            {"a trace long enough to report its progress", longTrace(7)},
            {"a file cut off in the middle of an element", cutOffInElement()},
            {"a sparse file of four gigabytes of zeros", QByteArray(), fourGigabytes},
            {"a trace that ends in four gigabytes of zeros", beforeZeroTail(), fourGigabytes},
            {"elements nested a hundred thousand deep", nestedDeep()},
            {"a billion laughs", billionLaughs()},
            {"one entity referenced twenty thousand times", entityReferencedOften()},
            {"five thousand declared tasks", tooManyTasks()},
            {"an attribute of eight megabytes", bigAttribute()},
            {"bytes that are no UTF-8", notUtf8()},
            {"UTF-16 with a byte-order mark and CR LF", utf16WithBom()}};
}

} // namespace HostileInputs
