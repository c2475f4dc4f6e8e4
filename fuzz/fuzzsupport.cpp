#include "fuzzsupport.h"

#include "app/tracer.h"
#include "trace/project.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeWidgetItem>

#include <cstdio>
#include <cstdlib>

namespace {

QTemporaryDir *sandbox = nullptr;
Tracer *controller = nullptr;
int messages = 0;

// Qt's own warnings would drown the fuzzer's report; fatal messages still abort.
void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

void removeSandbox()
{
    if (sandbox)
        QDir(sandbox->path()).removeRecursively();
}

} // namespace

namespace FuzzSupport {

void start()
{
    static int argc = 1;
    static char name[] = "kestrel-fuzz";
    static char *argv[] = {name, nullptr};

    qInstallMessageHandler(quiet);
    sandbox = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/kestrel-fuzz-XXXXXX"));
    sandbox->setAutoRemove(false);
    std::atexit(removeSandbox);
    const QString root = sandbox->path();
    QDir(root).mkpath(QStringLiteral("config"));
    QDir(root).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + QStringLiteral("/config")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root + QStringLiteral("/runtime")));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, root + QStringLiteral("/config"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, root + QStringLiteral("/config"));

    new QApplication(argc, argv);
    controller = new Tracer;
    controller->initHeadless();
    controller->setMessageSink([](QMessageBox::Icon, const QString &text) {
        FUZZ_REQUIRE(!text.isEmpty());
        ++messages;
    });
}

Tracer &tracer()
{
    return *controller;
}

QString sandboxPath()
{
    return sandbox->path();
}

int messageCount()
{
    return messages;
}

void closeEverything()
{
    while (!controller->projects().isEmpty())
        controller->removeProject(controller->projects().begin()->data());
    FUZZ_REQUIRE(controller->projects().isEmpty());
    FUZZ_REQUIRE(controller->rootEntry()->childCount() == 0);
}

void fail(const char *condition, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: requirement failed: %s\n", file, line, condition);
    std::abort();
}

} // namespace FuzzSupport
