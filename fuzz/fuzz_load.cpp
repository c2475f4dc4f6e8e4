// Feeds each input as a trace file through the whole load: the controller's
// createNode with its checks, the XML reader and the node model.

#include "app/tracer.h"
#include "fuzzsupport.h"
#include "trace/node.h"
#include "trace/task.h"

#include <QDir>
#include <QFile>
#include <QTreeWidgetItem>

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
    FUZZ_REQUIRE(node.treeItem() && node.treeItem()->childCount() == 2);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    {
        QFile file(inputPath());
        FUZZ_REQUIRE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_REQUIRE(file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
    }

    Tracer &tracer = FuzzSupport::tracer();
    const int messagesBefore = FuzzSupport::messageCount();
    const Node *node = tracer.createNode(inputPath(), tracer.rootEntry(), FROM_TRACER);
    const int told = FuzzSupport::messageCount() - messagesBefore;
    if (node) {
        FUZZ_REQUIRE(told == 0);
        FUZZ_REQUIRE(tracer.projects().size() == 1 && tracer.rootEntry()->childCount() == 1);
        checkModel(*node);
    } else {
        // A refused file is told once, and nothing of it stays.
        FUZZ_REQUIRE(told == 1);
        FUZZ_REQUIRE(tracer.projects().isEmpty());
    }
    FuzzSupport::closeEverything();
    return 0;
}
