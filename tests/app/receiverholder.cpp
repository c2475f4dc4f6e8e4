// Hosts a TraceFileReceiver for tst_handoff. First line on stdout: "listening"
// or "not listening"; then one line per received path, hex-encoded UTF-8.
// Ends as the program does on SIGTERM, cleaning up; SIGKILL leaves its socket.
#include "app/terminationwatcher.h"
#include "app/tracefilereceiver.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    TerminationWatcher termination;
    QObject::connect(&termination, &TerminationWatcher::terminationRequested, &application,
                     &QCoreApplication::quit);
    TraceFileReceiver receiver;
    QObject::connect(&receiver, &TraceFileReceiver::addNodeFromReceiver, [](const QString &traceFilePath) {
        std::printf("%s\n", traceFilePath.toUtf8().toHex().constData());
        std::fflush(stdout);
    });
    std::printf("%s\n", receiver.isListening() ? "listening" : "not listening");
    std::fflush(stdout);
    return application.exec();
}
