#include "app/commandline.h"
#include "app/handoff.h"
#include "app/terminationwatcher.h"
#include "app/tracer.h"

#include <QApplication>

#include <memory>

int main(int argc, char **argv)
{
    // Asked for a text, the program answers before it needs a display.
    if (answerInformationRequest(argc, argv))
        return 0;
    QApplication application(argc, argv);
    // A second start with a file gives it to the running instance and ends
    // without a controller, settings or window.
    if (handOffToRunningInstance(argc, argv))
        return 0;

    auto tracer = std::make_unique<Tracer>();
    if (!tracer->init(&application)) {
        tracer.reset();
        return 1;
    }
    TerminationWatcher termination;
    QObject::connect(&termination, &TerminationWatcher::terminationRequested, &application,
                     &QCoreApplication::quit);
    const int result = application.exec();
    // The controller's windows and receiver must go while the application still exists.
    tracer.reset();
    return result;
}
