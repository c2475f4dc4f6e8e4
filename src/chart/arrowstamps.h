#pragma once

#include <QLineF>
#include <QPoint>
#include <QRect>

#include <array>
#include <map>
#include <vector>

// The pixels Qt's raster engine sets for a packet arrow stroked with an
// aliased 1-pixel pen, found by drawing the arrow once into a small image.
// Moved by whole pixels together with the clip, an arrow sets the same
// pixels moved: fitted to a long trace the chart draws thousands of arrows
// of a few dozen shapes, and writing stored runs costs a fraction of
// stroking each one.
class ArrowStamps
{
public:
    // A vertical run of pixels, relative to the arrow's tip.
    struct Run
    {
        int x = 0;
        int y = 0;
        int height = 0;
    };
    using Runs = std::vector<Run>;

    // Whether an arrow from `from` to `to` is long enough to carry a head.
    static bool hasHead(const QPoint &from, const QPoint &to) { return QLineF(from, to).length() > 15.0; }
    // The two strokes of an arrow's head at `to`.
    static std::array<QLineF, 2> headStrokes(const QPoint &from, const QPoint &to);
    // Where a head's strokes may set pixels.
    static QRect headBox(const QPoint &to) { return QRect(to - QPoint(13, 13), QSize(27, 27)); }

    // How far a line may lean, in pixels across, and still be stored: a
    // shape costs a drawing of its whole box once, worth it only for the
    // near-vertical arrows that recur.
    static constexpr int widestLean = 8;

    // The pixels of the arrow whose tail lies at `tail` from its tip: its
    // line when `line`, and its head when it carries one, as Qt strokes them
    // clipped to `clip`; `tail` and `clip` relative to the tip. Only the
    // clip's edges near the strokes matter. Null for a line leaning more
    // than widestLean, and for a shape not yet met often enough to store:
    // the caller strokes that one itself.
    const Runs *runs(const QPoint &tail, bool line, const QRect &clip);

private:
    using Key = std::array<int, 7>;
    static Runs draw(const QPoint &tail, bool line, const QRect &clip);

    // How often a shape is met before it is drawn and stored: one met once
    // costs as much to store as to stroke many times.
    static constexpr int storedAfter = 2;
    // A bound on what a long session of zooming leaves behind.
    static constexpr std::size_t mostShapes = 4096;

    std::map<Key, Runs> m_shapes;
    std::map<Key, int> m_sightings; // of shapes not stored yet
};
