#include "chart/opaqueicon.h"

OpaqueIcon::OpaqueIcon(const QImage &image)
    : size(image.size())
    , columns(size_t(image.width()), 0)
{
    Q_ASSERT(image.format() == QImage::Format_ARGB32 && image.height() <= 64);
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) != 255)
                continue;
            columns[size_t(x)] |= std::uint64_t(1) << y;
            if (runs.empty() || runs.back().y != y || runs.back().x + runs.back().length != x)
                runs.push_back(Run{x, y, 0, colours.size()});
            ++runs.back().length;
            colours.push_back(line[x]);
        }
    }
}
