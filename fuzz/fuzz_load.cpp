// Feeds each input as a trace file through the whole load: the checks an
// open request makes, the XML reader and the node model.

#include "fuzzsupport.h"
#include "trace/node.h"
#include "trace/projecttable.h"
#include "trace/task.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>

namespace {

QString inputPath()
{
    static const QString path = [] {
        const QString dir = FuzzSupport::sandboxPath() + QStringLiteral("/load");
        QDir().mkpath(dir);
        return dir + QStringLiteral("/input.trace");
    }();
    return path;
}

void checkModel(const Node &node)
{
    // Every gap between two events is credited to exactly one task.
    quint32 credited = 0;
    for (const auto &task : node.tasks())
        credited += task->executionTime();
    FUZZ_REQUIRE(credited == node.totalTime());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::start();
    static int argc = 1;
    static char name[] = "fuzz_load";
    static char *argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    {
        QFile file(inputPath());
        FUZZ_REQUIRE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_REQUIRE(file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
    }

    const int messagesBefore = FuzzSupport::messageCount();
    const Node *node = FuzzSupport::load(inputPath(), FROM_TRACER);
    const int told = FuzzSupport::messageCount() - messagesBefore;
    if (node) {
        FUZZ_REQUIRE(told == 0);
        FUZZ_REQUIRE(FuzzSupport::projects().projects().size() == 1);
        checkModel(*node);
    } else {
        // A refused file is told once, and nothing of it stays.
        FUZZ_REQUIRE(told == 1);
        FUZZ_REQUIRE(FuzzSupport::projects().projects().isEmpty());
    }
    FuzzSupport::closeEverything();
    return 0;
}
