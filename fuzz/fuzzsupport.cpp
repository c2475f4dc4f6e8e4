#include "fuzzsupport.h"

#include "trace/eventcatalogue.h"
#include "trace/project.h"
#include "trace/projecttable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

QTemporaryDir *sandbox = nullptr;
ProjectTable *table = nullptr;
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
    table = new ProjectTable;
}

ProjectTable &projects()
{
    return *table;
}

Node *load(const QString &path, int origin)
{
    static const EventCatalogue catalogue;
    try {
        return table->load(path, nullptr, origin, &catalogue);
    } catch (const QString &text) {
        FUZZ_REQUIRE(!text.isEmpty());
        ++messages;
        return nullptr;
    }
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
    while (!table->projects().isEmpty())
        table->remove(table->projects().begin()->data());
    FUZZ_REQUIRE(table->projects().isEmpty());
}

void fail(const char *condition, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: requirement failed: %s\n", file, line, condition);
    std::abort();
}

void startCore(const char *name)
{
    start();
    static int argc = 1;
    static char *argv[] = {const_cast<char *>(name), nullptr};
    new QCoreApplication(argc, argv);
}

QString writeInput(const char *folder, const std::uint8_t *data, std::size_t size)
{
    const QString dir = sandboxPath() + QLatin1Char('/') + QLatin1String(folder);
    QDir().mkpath(dir);
    const QString path = dir + QStringLiteral("/input.trace");
    QFile file(path);
    FUZZ_REQUIRE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_REQUIRE(file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
    return path;
}

} // namespace FuzzSupport
