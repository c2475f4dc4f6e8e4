#pragma once

#include "chart/drawop.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Primitives by their exact pixels, each with a number the caller keeps for
// it: open addressing in one array, so that a paint that meets as many
// primitives as the one before allocates nothing. Clearing keeps the storage
// and costs nothing: slots of an older generation count as free.
class DrawOpSet
{
public:
    void clear();
    // What no op is kept with: the number of one not in the set.
    static constexpr int absent = -1;
    // Sets the number kept for `op` to `value` unless it is that large
    // already, adding it when new; whether it did. When it did, `previous`
    // is the number it had (`absent` for a new op); else it is unchanged.
    bool raise(const DrawOp &op, int value, int &previous);

private:
    // 32 bytes, aligned: a probe touches one cache line.
    struct alignas(32) Slot
    {
        std::array<int, 6> p{};
        std::uint32_t tag = 0; // the generation, then the op's kind in the low byte
        int value = 0;
        DrawOp op() const
        {
            DrawOp op;
            op.kind = int(tag & 0xff);
            op.p = p;
            return op;
        }
    };
    static_assert(sizeof(Slot) == 32);

    // The tag of `op` in a slot in use; a slot of another generation is free.
    std::uint32_t tagOf(const DrawOp &op) const { return m_generation << 8 | std::uint32_t(op.kind); }
    bool used(const Slot &slot) const { return slot.tag >> 8 == m_generation; }
    static bool holds(const Slot &slot, const DrawOp &op, std::uint32_t tag)
    {
        return slot.tag == tag && DrawOp::samePoints(slot.p, op.p);
    }
    void fill(Slot &slot, const DrawOp &op, int value) const
    {
        slot.p = op.p;
        slot.tag = tagOf(op);
        slot.value = value;
    }
    // The slot a lookup of the op with hash `hash` meets first in m_recent.
    Slot &recentOf(std::uint32_t hash) { return m_recent[hash & (recentSize - 1)]; }

    // Sets the number kept for `op`, adding it when new.
    void set(const DrawOp &op, int value);
    static std::uint32_t hashOf(const DrawOp &op);
    // The slot holding op, whose hash is `hash`, or the free one where it would go.
    std::size_t find(const DrawOp &op, std::uint32_t hash) const;
    void grow();

    std::vector<Slot> m_slots; // a power of two long, at most half full
    // The op last asked for or set per hash bucket, with its number (or
    // `absent`): a paint asks for the same few ops again and again, and this
    // small array stays in cache where m_slots does not.
    static constexpr std::size_t recentSize = 4096;
    std::vector<Slot> m_recent;
    std::size_t m_used = 0;
    // Below 2^24, beside the kind in a slot's tag.
    static constexpr std::uint32_t lastGeneration = (1u << 24) - 1;
    std::uint32_t m_generation = 1;
};
