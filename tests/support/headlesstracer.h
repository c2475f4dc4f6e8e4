#pragma once

#include "app/tracer.h"
#include "testsupport.h"

#include <QtTest>

// The controller as the tests start it: without windows, and failing the test with any message it
// would show.
class HeadlessTracer : public Tracer
{
public:
    HeadlessTracer()
    {
        initHeadless();
        setMessageSink([](QMessageBox::Icon, const QString &text) { QFAIL(qPrintable(text)); });
    }

    // Writes `contents` to file `name` of the sandbox folder `dir` and loads it; null when refused.
    Node *load(const QString &dir, const QString &name, const QByteArray &contents, int origin = FROM_TRACER)
    {
        return createNode(TestSupport::writeTempFile(dir, name, contents), rootEntry(), origin);
    }
};
