#pragma once

#include <QColor>

// The whole icon set is painted from these few colours so that it reads as one family.
// Outlines are always Ink; a fill colour says what kind of thing a shape is:
// blue = node and view, green = task and outgoing, violet = packet and hub contents,
// amber = project folder and kernel, red = close and stop, magenta and orange = markers
// (the chart's default sync and user marker colours).
namespace Palette {
inline const QColor Ink{0x26, 0x30, 0x3b};
inline const QColor Paper{0xff, 0xff, 0xff};
inline const QColor Mist{0xdd, 0xe3, 0xea};
inline const QColor Slate{0x7b, 0x87, 0x94};
inline const QColor Blue{0x2d, 0x6c, 0xb5};
inline const QColor BlueLight{0xb8, 0xd2, 0xf0};
inline const QColor Green{0x2e, 0x9d, 0x4f};
inline const QColor GreenLight{0xbf, 0xe6, 0xc8};
inline const QColor Violet{0x7d, 0x55, 0xc7};
inline const QColor VioletLight{0xdc, 0xcf, 0xf3};
inline const QColor Amber{0xf0, 0xb0, 0x2a};
inline const QColor AmberLight{0xfb, 0xe3, 0xa6};
inline const QColor Red{0xd2, 0x3f, 0x36};
inline const QColor Magenta{0xd8, 0x2a, 0x7a};
inline const QColor Orange{0xf0, 0x7f, 0x1a};
} // namespace Palette
