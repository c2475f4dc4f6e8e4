#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

class ChartMapper;
class Node;

// What the level-of-detail pass of the chart needs to know about a node's
// events that does not depend on the scale, computed once per node.
//
// Reading a pixel column backwards, most events draw nothing: a bar is hidden
// by a later bar of its row in the same column that reaches at least as far,
// a task-switch connector or a marker by a later equal one. Whether that later primitive
// exists is known from the event alone, except for whether it falls into the
// same column; `mustShareColumn` gives the index that decides it.
class PaintIndex
{
public:
    static constexpr int never = std::numeric_limits<int>::max();

    PaintIndex() = default;
    explicit PaintIndex(const Node &node);

    // The node's index, shared by every view that shows the node: built when
    // the first of them asks, kept while one holds it, forgotten with the node.
    // Main thread only.
    static std::shared_ptr<const PaintIndex> shared(const Node &node);

    // The event draws nothing when this (later) event lies in the same pixel
    // column, provided the chart's positions never decrease along the events;
    // `never` when it must always be read.
    int mustShareColumn(int i) const { return m_mustShareColumn[std::size_t(i)]; }
    // Markers, and kernel service requests that may draw a hub arrow: they
    // take the general path, every other event is a bar and maybe a connector.
    bool special(int i) const { return m_flags[std::size_t(i)] & Special; }
    // A bar's fill: the plain one after a switch to its task (or with no event
    // of its task before it in view) or with its task going on after it, else
    // the fill of an interrupted task. `first` is the first event in view.
    int barVariant(int i, int first) const
    {
        const std::uint8_t flags = m_flags[std::size_t(i)];
        const int before = m_previousOfTask[std::size_t(i)];
        return before < first || (flags & AfterSwitch) || (flags & TaskGoesOn) ? 1 : 2;
    }
    // A hub arrow stands half its event's duration right of the bar's left
    // edge, so one hidden by column alone may still be drawn elsewhere.
    struct ArrowPair
    {
        int next = -1;         // the later event with the same arrow but for its x
        float linear = 0.0f;   // the longer duration of the two, microseconds
        float logarithmic = 0; // the longer logDuration of the two
    };
    // For a hub arrow whose mustShareColumn() holds, its pair; else null.
    const ArrowPair *arrowPair(int i) const
    {
        return m_flags[std::size_t(i)] & HubArrow ? pairOf(i) : nullptr;
    }

    // Whether the hub arrows of every pair stand on their bars' left edges at
    // the mapper's scale: then
    // mustShareColumn() alone decides every event, and hiddenRunStart() holds.
    bool pairsCollapse(const ChartMapper &mapper) const;
    // With positions never decreasing along the events and pairsCollapse():
    // the first event of the longest run of whole blocks ending at event i,
    // none before `lowest`, in which every event draws nothing for a column
    // whose last event is `last`; i + 1 when the block ending at i is not such.
    // A fitted paint of a huge node skips most of its events a block at a time.
    int hiddenRunStart(int i, int lowest, int last) const
    {
        int start = i + 1;
        for (bool skipped = true; skipped;) {
            skipped = false;
            const int end = start; // one past the run's next block
            int size = blockSize;
            for (const std::vector<int> &level : m_coarse) {
                if (end % size != 0 || end - size < lowest || level[std::size_t(end / size - 1)] > last)
                    break;
                start = end - size;
                skipped = true;
                size *= blockSize;
            }
        }
        return start;
    }

    // Events by blocks of survivorBlock, the first starting at event 0.
    static constexpr int survivorBlock = 64;
    // Of the events of `block`, those that may draw in a column holding the
    // whole block, whose last event is `last` (bit k for the block's k-th
    // event). With pairsCollapse() the others draw nothing there: their
    // mustShareColumn() lies within the block, or in a block of blockSize
    // hidden whole. A fitted paint of busy nodes, where few blocks are
    // hidden whole, reads only these.
    std::uint64_t blockSurvivors(int block, int last) const
    {
        constexpr int parts = survivorBlock / blockSize;
        constexpr std::uint64_t part = (std::uint64_t(1) << blockSize) - 1;
        std::uint64_t survivors = m_blockSurvivors[std::size_t(block)];
        const int *largest = &m_coarse.front()[std::size_t(block) * parts];
        for (int k = 0; k < parts; ++k) {
            if (largest[k] <= last)
                survivors &= ~(part << (blockSize * k));
        }
        return survivors;
    }

    // What the index holds, in bytes: with the events, what a loaded node costs.
    std::size_t heldBytes() const;

    // Asks the memory for what reading event i needs, well before it is read.
    void prefetch(int i) const { __builtin_prefetch(&m_previousOfTask[std::size_t(i)]); }

private:
    enum Flag : std::uint8_t {
        Special = 1,
        AfterSwitch = 2, // the task's event before is a switch
        TaskGoesOn = 4,  // the last event, or the next one runs in the same task
        HubArrow = 8,    // a kernel service request that draws an arrow to a hub
        HubSend = 16
    };

    void buildCoarseLevels();
    const ArrowPair *pairOf(int i) const;

    // Blocks of blockSize^(L + 1) events at level L: small enough that few
    // events are walked around one that must be read, four levels so that a
    // column of a huge node is crossed in a few steps; about 0.27 bytes per event.
    static constexpr int blockSize = 16;
    static constexpr int levels = 4;

    std::vector<int> m_mustShareColumn;
    std::vector<std::vector<int>> m_coarse;      // by level, each block's largest mustShareColumn()
    std::vector<std::uint64_t> m_blockSurvivors; // see blockSurvivors(); 0.125 bytes per event
    std::vector<std::uint8_t> m_flags;
    std::vector<int> m_previousOfTask; // the task's nearest earlier event that is no marker, -1 for none
    // The hub arrows that have a pair, ascending, and their pairs: a few in
    // a hundred events, where an index per event would cost four bytes each.
    std::vector<int> m_pairedEvents;
    std::vector<ArrowPair> m_arrowPairs;
    // The shortest and longest durations the pairs are judged by, per axis.
    float m_pairLinear[2] = {0, 0};
    float m_pairLogarithmic[2] = {0, 0};
};
