#pragma once

#include <QPoint>
#include <QRect>
#include <QRgb>

#include <cstdint>
#include <vector>

class RasterTarget;
struct OpaqueIcon;

// Pixels of a few opaque colours whose writing is put off until the pass
// ends or something else is drawn on them. Fitted to a long trace, a column
// of the chart holds dozens of vertical packet arrows, hub arrows and marker
// lines, one over another, each pixel of them a store to a cache line of its
// own: put off, every pixel is written once, however many lines cross it.
//
// The picture stays exact as long as, while deferring, every write into the
// image goes through a RasterTarget made with this object (a write then
// drops what was put off under it in other colours, as it would have
// overwritten it), and before the painter draws, what was put off where it
// draws is dropped (pixels it makes opaque), flushed (pixels it blends
// with), or left (pixels it leaves as they are, or makes the colour they
// were put off in). Flushing early is always exact, only slower: a pixel
// flushed and put off again is written twice.
class DeferredPixels
{
public:
    static constexpr int maxColours = 4;
    // Puts off `colours` (opaque ones, at most maxColours) for the image
    // `target` writes into, when the target is usable; else stays inactive.
    // Nothing may be pending.
    void start(const RasterTarget &target, const std::vector<QRgb> &colours);
    bool active() const { return m_bits != nullptr; }
    // Writes what is pending within `rect` (the painter's logical
    // coordinates, as when started) and forgets it.
    void flush(const QRect &rect);
    // Writes everything pending and stops deferring.
    void finish();

private:
    friend class RasterTarget;

    bool writesInto(const uchar *bits) const { return bits && bits == m_bits; }
    // The slot `colour` is put off in, or -1.
    int slotOf(QRgb colour) const
    {
        for (int k = 0; k < m_count; ++k) {
            if (m_colours[k] == colour)
                return k;
        }
        return -1;
    }
    // Device pixels, within the image.
    void add(int slot, const QRect &rect);
    void add(int slot, int x, int y)
    {
        m_pending[index(x, y)] = std::uint8_t(slot + 1);
        m_used[size_t(x)] = 1;
    }
    // Drops what is pending within `rect`: something else is written there now.
    void cover(const QRect &rect);
    // Drops what is pending under the opaque pixels of an icon at topLeft.
    void cover(QPoint topLeft, const OpaqueIcon &icon);
    // Leaves the pixels pending in slot `keep` (-1 for none).
    void flushDevice(const QRect &rect, int keep = -1);
    std::size_t index(int x, int y) const { return size_t(x) * size_t(m_image.height()) + size_t(y); }

    uchar *m_bits = nullptr; // the image's first pixel
    qsizetype m_bytesPerLine = 0;
    QRect m_image;   // device pixels
    QPoint m_offset; // logical to device pixels
    QRgb m_colours[maxColours] = {};
    int m_count = 0;
    // Per pixel, column by column, the slot it is pending in plus one, or
    // 0: a vertical run sets a run of bytes. All zero while inactive.
    std::vector<std::uint8_t> m_pending;
    std::vector<std::uint8_t> m_used; // per column: whether anything may be pending
};
