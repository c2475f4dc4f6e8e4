#include "chart/deferredpixels.h"

#include "chart/opaqueicon.h"
#include "chart/rastertarget.h"

#include <algorithm>
#include <cstring>

void DeferredPixels::start(const RasterTarget &target, const std::vector<QRgb> &colours)
{
    Q_ASSERT(!active());
    m_count = 0;
    for (const QRgb colour : colours) {
        if (qAlpha(colour) == 255 && slotOf(colour) < 0 && m_count < maxColours)
            m_colours[m_count++] = colour;
    }
    if (!target.available() || m_count == 0)
        return;
    m_bits = target.m_bits;
    m_bytesPerLine = target.m_bytesPerLine;
    m_image = target.m_image;
    m_offset = target.m_offset;
    const std::size_t size = std::size_t(m_image.width()) * std::size_t(m_image.height());
    if (size != m_pending.size() || m_used.size() != std::size_t(m_image.width())) {
        m_pending.assign(size, 0);
        m_used.assign(std::size_t(m_image.width()), 0);
    }
}

void DeferredPixels::add(int slot, const QRect &rect)
{
    for (int x = rect.left(); x <= rect.right(); ++x) {
        std::memset(&m_pending[index(x, rect.top())], slot + 1, size_t(rect.height()));
        m_used[size_t(x)] = 1;
    }
}

void DeferredPixels::cover(const QRect &rect)
{
    for (int x = rect.left(); x <= rect.right(); ++x) {
        if (m_used[size_t(x)])
            std::memset(&m_pending[index(x, rect.top())], 0, size_t(rect.height()));
    }
}

void DeferredPixels::cover(QPoint topLeft, const OpaqueIcon &icon)
{
    for (int c = 0; c < int(icon.columns.size()); ++c) {
        const int x = topLeft.x() + c;
        if (x < 0 || x >= m_image.width() || !m_used[size_t(x)])
            continue;
        for (std::uint64_t rows = icon.columns[size_t(c)]; rows != 0; rows &= rows - 1) {
            const int y = topLeft.y() + __builtin_ctzll(rows);
            if (y >= 0 && y < m_image.height())
                m_pending[index(x, y)] = 0;
        }
    }
}

void DeferredPixels::flush(const QRect &rect)
{
    if (active())
        flushDevice(rect.translated(m_offset) & m_image);
}

void DeferredPixels::flushDevice(const QRect &rect, int keep)
{
    const std::uint8_t kept = std::uint8_t(keep + 1);
    // Eight rows of the kept slot, read as one word: the lines of the kept
    // colour are the ones left pending over long runs.
    const std::uint64_t allKept = keep < 0 ? 0 : kept * std::uint64_t(0x0101010101010101);
    for (int x = rect.left(); x <= rect.right(); ++x) {
        if (!m_used[size_t(x)])
            continue;
        std::uint8_t *pending = &m_pending[index(x, 0)];
        uchar *pixel = m_bits + qsizetype(x) * qsizetype(sizeof(QRgb));
        int y = rect.top();
        while (y <= rect.bottom()) {
            // Eight rows at once where nothing is to be written.
            if (y + 8 <= rect.bottom() + 1) {
                std::uint64_t eight = 0;
                std::memcpy(&eight, pending + y, sizeof eight);
                if (eight == 0 || eight == allKept) {
                    y += 8;
                    continue;
                }
            }
            const std::uint8_t slot = pending[y];
            if (slot != 0 && slot != kept) {
                *reinterpret_cast<QRgb *>(pixel + y * m_bytesPerLine) = m_colours[slot - 1];
                pending[y] = 0;
            }
            ++y;
        }
    }
}

void DeferredPixels::finish()
{
    if (!active())
        return;
    flushDevice(m_image);
    std::fill(m_used.begin(), m_used.end(), std::uint8_t(0));
    m_bits = nullptr;
}
