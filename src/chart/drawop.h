#pragma once

#include <QtGlobal>

#include <array>

// One drawing primitive of a task row. With level of detail on, the
// primitives of one pixel column are collected and only the last of equal
// ones is drawn: every primitive is opaque (no antialiasing, icons with
// all-or-nothing alpha), so an equal one drawn later covers all its pixels.
//
// p by kind, viewport pixels:
//   Bar          left x, top, right x, bottom, fill variant
//   Connector    x, y at the previous task's row, x, y at this row
//   SyncMarker   x, event type
//   UserMarker   x
//   HubArrow     x, event rect top, event rect bottom, hub row top, send, hub below
//   PacketArrow  from x, from y, to x, to y
struct DrawOp
{
    enum Kind : int { Bar, Connector, SyncMarker, UserMarker, HubArrow, PacketArrow };
    int kind = Bar;
    std::array<int, 6> p{};

    // Whether a later `other` covers every pixel this one draws.
    bool hiddenBy(const DrawOp &other) const
    {
        if (kind != other.kind || p[0] != other.p[0])
            return false;
        switch (kind) {
        case Bar:
            // Same left edge and row: a bar covers its columns up to one past
            // its right x whatever its fill, so a later bar reaching at least
            // as far hides it. A bar narrower than its outline (right x below
            // left x - 1) only hides or is hidden by its equal.
            if (p[1] != other.p[1] || p[3] != other.p[3])
                return false;
            if (p[2] < p[0] - 1 || other.p[2] < p[0] - 1)
                return p[2] == other.p[2];
            return other.p[2] >= p[2];
        case Connector:
            // Black vertical lines on one column: a later one spanning this one.
            return qMin(other.p[1], other.p[3]) <= qMin(p[1], p[3]) &&
                   qMax(other.p[1], other.p[3]) >= qMax(p[1], p[3]);
        default:
            return sameAs(other);
        }
    }

    // Whether both are the same primitive.
    bool sameAs(const DrawOp &other) const { return kind == other.kind && samePoints(p, other.p); }
    // Without a call: a paint compares hundreds of thousands, and
    // std::array's own comparison calls memcmp.
    static bool samePoints(const std::array<int, 6> &a, const std::array<int, 6> &b)
    {
        int differ = 0;
        for (size_t k = 0; k < a.size(); ++k)
            differ |= a[k] ^ b[k];
        return differ == 0;
    }

    // Markers, packet arrows and connectors are drawn over the node's whole
    // task group, not only over their own row.
    bool spansRows() const { return kind != Bar && kind != HubArrow; }
};
