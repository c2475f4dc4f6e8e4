#pragma once

#include <QByteArray>
#include <QList>

// Trace files as they come from the field, to throw at the reader.
namespace HostileInputs {

constexpr qint64 fourGigabytes = qint64(4) << 30;

// A small valid trace of node `nodeId` with one task and two events.
QByteArray smallTrace(int nodeId);
// More events than a load reads before it first reports its progress (16384).
QByteArray longTrace(int nodeId, int events = 20000);

QByteArray cutOffInElement();
QByteArray nestedDeep();            // a hundred thousand levels
QByteArray billionLaughs();         // entities that expand to a billion
QByteArray entityReferencedOften(); // one entity, twenty thousand references
QByteArray tooManyTasks();          // five thousand declared
QByteArray bigAttribute();          // a node name of eight megabytes
QByteArray notUtf8();               // declared UTF-8, holding a Latin-1 byte
QByteArray utf16WithBom();          // UTF-16 with a byte-order mark and CR LF
// A trace that breaks off after its events, before the zeros a crash leaves.
QByteArray beforeZeroTail();

// A file's bytes and, for the sparse ones, the size zeros extend it to (-1: none).
struct Input
{
    const char *name;
    QByteArray contents;
    qint64 size = -1;
};

// Every input above that lies in a regular file, with the sparse ones.
QList<Input> all();

} // namespace HostileInputs
