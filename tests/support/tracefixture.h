#pragma once

#include <QByteArray>
#include <QString>

// Small hand-written trace files for tests that need the reader's path.
namespace TraceFixture {

// A complete trace file: node `nodeId`, the given task/hub/service
// declarations and events (each a full element), frequencies lowHz/highHz.
QByteArray traceFile(int nodeId, const QByteArray &declarations, const QByteArray &events,
                     const QByteArray &lowHz = "0", const QByteArray &highHz = "1000000");

// <event .../> with the five attributes; with highHz 1000000 and lowHz 0 the
// high counter is the timestamp in microseconds.
QByteArray eventXml(int type, quint32 highCounter, qint32 param1 = 0, qint32 param2 = 0,
                    quint32 lowCounter = 0);

} // namespace TraceFixture
