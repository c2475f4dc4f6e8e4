#pragma once

#include <QImage>

#include <cstdint>
#include <vector>

// An icon whose every pixel is opaque or transparent, at most 64 rows high:
// drawn over itself it looks the same, and it can be written pixel by pixel
// (see RasterTarget::stamp).
struct OpaqueIcon
{
    explicit OpaqueIcon(const QImage &image);

    QSize size;
    // Per column, its opaque rows, one bit each, the top row lowest.
    std::vector<std::uint64_t> columns;
    // The opaque pixels, row by row, in runs that lie within one row.
    struct Run
    {
        int x = 0;
        int y = 0;
        int length = 0;
        std::size_t first = 0; // of its colours in `colours`
    };
    std::vector<Run> runs;
    std::vector<QRgb> colours;
};
