#pragma once

#include "chart/timescale.h"

#include <optional>
#include <vector>

// The ranges a chart showed before its zooms, fits and jumps, for stepping
// back and forward like a browser. Scrolling adds nothing: an entry is
// recorded as the view leaves it, so it holds the scroll of that moment.
class ViewHistory
{
public:
    // What restores a range: the scales of both modes, the mode and the
    // horizontal scroll value (pixels).
    struct Entry
    {
        TimeScale scale;
        int horizontalScroll = 0;
    };

    // The older entries go beyond this many steps back.
    static constexpr int capacity = 100;

    // The view leaves `current` for a new range: it becomes the last step
    // back, and the steps forward are gone.
    void leave(const Entry &current);
    // The entry one step back, with `current` kept as the first step forward;
    // nothing when there is no step back.
    std::optional<Entry> back(const Entry &current);
    // The entry one step forward, with `current` kept as the last step back;
    // nothing when there is no step forward.
    std::optional<Entry> forward(const Entry &current);

    bool canGoBack() const { return !m_back.empty(); }
    bool canGoForward() const { return !m_forward.empty(); }

private:
    static void push(std::vector<Entry> &steps, const Entry &entry);

    std::vector<Entry> m_back;    // the latest last
    std::vector<Entry> m_forward; // the nearest last
};
