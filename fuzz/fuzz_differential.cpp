// Reads each input as a trace file twice, by the trace scanner (with the XML
// reader behind it) and by the XML reader alone, and requires the same node,
// down to every derived value and item colour, or the same refusal text.

#include "fuzzsupport.h"
#include "trace/eventcatalogue.h"
#include "trace/hub.h"
#include "trace/node.h"
#include "trace/task.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct Read
{
    std::unique_ptr<Node> node;
    QString refusal;
    int nextRand = 0; // what the next new item's colour would draw
};

Read readOnce(const QString &path, Node::ReadMode mode)
{
    static const EventCatalogue catalogue;
    Read read;
    std::srand(1);
    try {
        read.node =
            std::make_unique<Node>(path, nullptr, FROM_TRACER, &catalogue, Node::LoadProgress(), mode);
    } catch (const QString &text) {
        read.refusal = text;
    }
    read.nextRand = std::rand();
    return read;
}

// Floats by their bits, so that two NaNs of one pattern are the same.
bool same(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool sameEvent(const TraceEvent &a, const TraceEvent &b)
{
    return a.timestamp == b.timestamp && a.offset == b.offset && same(a.logPosition, b.logPosition) &&
           a.duration == b.duration && same(a.logDuration, b.logDuration) && a.type == b.type &&
           a.arg1 == b.arg1 && a.arg2 == b.arg2 && a.nodeId == b.nodeId && a.currentTask == b.currentTask &&
           a.timecut == b.timecut && a.isMarker == b.isMarker && a.flags() == b.flags();
}

bool sameTask(const Task &a, const Task &b)
{
    return a.id() == b.id() && a.name() == b.name() && a.role() == b.role() && a.colour() == b.colour() &&
           a.executionTime() == b.executionTime() && a.logExecutionTime() == b.logExecutionTime() &&
           a.activationTime() == b.activationTime() && same(a.share(), b.share());
}

bool sameHub(const Hub &a, const Hub &b)
{
    return a.id() == b.id() && a.name() == b.name() && a.hubNodeId() == b.hubNodeId() &&
           a.isListed() == b.isListed() && a.colour() == b.colour() && a.sendRequests() == b.sendRequests() &&
           a.receiveRequests() == b.receiveRequests() && a.sendKernelRequests() == b.sendKernelRequests() &&
           a.receiveKernelRequests() == b.receiveKernelRequests();
}

bool sameService(const NodeServiceInfo &a, const NodeServiceInfo &b)
{
    return a.id == b.id && a.code == b.code && a.name == b.name && a.iconPath == b.iconPath &&
           a.targetIsTask == b.targetIsTask;
}

// Two tables of one key type alike, item by item in key order.
template<typename Map, typename Same> bool sameTable(const Map &a, const Map &b, Same sameItem)
{
    if (a.size() != b.size())
        return false;
    for (auto i = a.cbegin(), j = b.cbegin(); i != a.cend(); ++i, ++j) {
        if (i.key() != j.key() || !sameItem(*i, *j))
            return false;
    }
    return true;
}

void requireSameNode(const Node &a, const Node &b)
{
    FUZZ_REQUIRE(a.nodeId() == b.nodeId() && a.name() == b.name());
    FUZZ_REQUIRE(a.lowCounterHz() == b.lowCounterHz() && a.highCounterHz() == b.highCounterHz());
    FUZZ_REQUIRE(a.totalTime() == b.totalTime() && same(a.logLength(), b.logLength()));
    FUZZ_REQUIRE(a.logLengthInt() == b.logLengthInt() && a.inTimeOrder() == b.inTimeOrder());
    FUZZ_REQUIRE(a.firstSeq() == b.firstSeq() && a.lastSeq() == b.lastSeq());
    FUZZ_REQUIRE(std::equal(a.events().cbegin(), a.events().cend(), b.events().cbegin(), b.events().cend(),
                            sameEvent));
    const auto shared = [](auto same) {
        return [same](const auto &x, const auto &y) { return same(*x, *y); };
    };
    FUZZ_REQUIRE(sameTable(a.tasks(), b.tasks(), shared(sameTask)));
    FUZZ_REQUIRE(sameTable(a.hubs(), b.hubs(), shared(sameHub)));
    FUZZ_REQUIRE(sameTable(a.remoteHubs(), b.remoteHubs(), shared(sameHub)));
    FUZZ_REQUIRE(sameTable(a.services(), b.services(), sameService));
    FUZZ_REQUIRE(a.packetKeys() == b.packetKeys());
    FUZZ_REQUIRE(a.packetRefs().size() == b.packetRefs().size());
    for (auto i = a.packetRefs().cbegin(); i != a.packetRefs().cend(); ++i) {
        const auto [first, last] = b.packetRefs().equal_range(i.key());
        FUZZ_REQUIRE(std::any_of(first, last, [&i](const PacketRef &r) {
            return r.eventIndex == i->eventIndex && r.high == i->high && r.type == i->type;
        }));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::startCore("fuzz_differential");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = FuzzSupport::writeInput("differential", data, size);
    const Read byReader = readOnce(path, Node::ReadMode::XmlReaderOnly);
    const Read byScanner = readOnce(path, Node::ReadMode::ScanFirst);
    FUZZ_REQUIRE(byReader.refusal == byScanner.refusal);
    FUZZ_REQUIRE(!byReader.node == !byScanner.node);
    if (byReader.node)
        requireSameNode(*byReader.node, *byScanner.node);
    FUZZ_REQUIRE(byReader.nextRand == byScanner.nextRand);
    return 0;
}
