#pragma once

#include <QtGlobal>

// The generator's own random source. The standard distributions are free to
// differ between library versions, and a seed must give byte-identical traces
// wherever the tool is built, so only integer arithmetic is used here.
class SplitMix64
{
public:
    explicit SplitMix64(quint64 seed)
        : m_state(seed)
    {}

    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, bound); bound must be positive. Multiply-shift on the
    // upper 32 bits: the bias is below 2^-32 and needs no rejection loop.
    quint32 below(quint32 bound) { return quint32(((next() >> 32) * bound) >> 32); }

    // Uniform in [low, high], both inclusive.
    qint64 between(qint64 low, qint64 high)
    {
        const quint64 span = quint64(high - low) + 1;
        return low + qint64(span <= 0xFFFFFFFFull ? below(quint32(span)) : next() % span);
    }

    bool percent(int chance) { return below(100) < quint32(chance); }

private:
    quint64 m_state;
};
