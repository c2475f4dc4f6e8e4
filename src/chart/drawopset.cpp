#include "chart/drawopset.h"

void DrawOpSet::clear()
{
    m_used = 0;
    if (++m_generation <= lastGeneration)
        return;
    // Wrapped around: every slot must look free again.
    for (Slot &slot : m_slots)
        slot.tag = 0;
    for (Slot &slot : m_recent)
        slot.tag = 0;
    m_generation = 1;
}

void DrawOpSet::set(const DrawOp &op, int value)
{
    if (2 * (m_used + 1) > m_slots.size())
        grow();
    const std::uint32_t hash = hashOf(op);
    Slot &slot = m_slots[find(op, hash)];
    if (!used(slot))
        ++m_used;
    fill(slot, op, value);
    recentOf(hash) = slot;
}

bool DrawOpSet::raise(const DrawOp &op, int value, int &previous)
{
    if (2 * (m_used + 1) > m_slots.size())
        grow();
    const std::uint32_t hash = hashOf(op);
    const std::uint32_t tag = tagOf(op);
    const Slot &recent = recentOf(hash);
    if (holds(recent, op, tag) && recent.value >= value)
        return false;
    Slot &slot = m_slots[find(op, hash)];
    if (!used(slot)) {
        fill(slot, op, absent);
        ++m_used;
    }
    const bool raised = slot.value < value;
    if (raised) {
        previous = slot.value;
        slot.value = value;
    }
    recentOf(hash) = slot;
    return raised;
}

std::uint32_t DrawOpSet::hashOf(const DrawOp &op)
{
    // FNV-1a over the words, then mixed so that the low bits, which pick
    // the slot, depend on every coordinate.
    std::uint32_t h = 2166136261u ^ std::uint32_t(op.kind);
    for (const int word : op.p)
        h = (h ^ std::uint32_t(word)) * 16777619u;
    h ^= h >> 16;
    h *= 0x45d9f3bu;
    return h ^ (h >> 16);
}

std::size_t DrawOpSet::find(const DrawOp &op, std::uint32_t hash) const
{
    const std::size_t mask = m_slots.size() - 1;
    const std::uint32_t tag = tagOf(op);
    for (std::size_t k = hash & mask;; k = (k + 1) & mask) {
        const Slot &slot = m_slots[k];
        if (!used(slot) || holds(slot, op, tag))
            return k;
    }
}

void DrawOpSet::grow()
{
    // The generation starts again at 1: what m_recent holds of older ones
    // must not pass for current.
    m_recent.assign(recentSize, Slot());
    std::vector<Slot> old(m_slots.empty() ? 512 : 2 * m_slots.size());
    old.swap(m_slots);
    const std::uint32_t generation = m_generation;
    m_used = 0;
    m_generation = 1;
    for (const Slot &slot : old) {
        if (slot.tag >> 8 == generation)
            set(slot.op(), slot.value);
    }
}
