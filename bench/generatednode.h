#pragma once

#include "app/tracer.h"
#include "tracegenerator.h"

#include <QTemporaryDir>

// For benchmarks that link the trace generator: one node of `events` events,
// written into `dir` and loaded as the viewer loads a file.
inline Node *generateNode(Tracer &tracer, const QTemporaryDir &dir, int events)
{
    TraceGenerator::Options options;
    options.nodes = 1;
    options.eventsPerNode = events;
    TraceGenerator generator(options);
    if (!generator.generate(dir.path()))
        qFatal("%s", qPrintable(generator.errorString()));
    return tracer.createNode(dir.path() + QLatin1Char('/') + TraceGenerator::fileNameFor(0),
                             tracer.rootEntry(), FROM_TRACER);
}
