// Feeds each input as a trace file through the whole load: the checks an
// open request makes, the XML reader and the node model.

#include "fuzzsupport.h"
#include "trace/node.h"
#include "trace/projecttable.h"
#include "trace/task.h"

#include <cstddef>
#include <cstdint>

namespace {

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
    FuzzSupport::startCore("fuzz_load");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = FuzzSupport::writeInput("load", data, size);

    const int messagesBefore = FuzzSupport::messageCount();
    const Node *node = FuzzSupport::load(path, FROM_TRACER);
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
