// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>

// The fixed colours the screens name; each reads well on light and dark palettes.
namespace Palette {

inline QColor blue()
{
    return {0x2f, 0x7b, 0xf5};
}
inline QColor green()
{
    return {0x2e, 0xa0, 0x43};
}
inline QColor orange()
{
    return {0xe8, 0x71, 0x0a};
}
inline QColor yellow()
{
    return {0xe0, 0xa8, 0x00};
}
inline QColor red()
{
    return {0xd8, 0x3b, 0x2d};
}
inline QColor gray()
{
    return {0x8a, 0x8a, 0x8a};
}

// A colour as a style sheet takes it, alpha included: `name()` drops the alpha, and the
// palette's secondary colours are translucent black, which would come out solid.
inline QString css(const QColor &colour)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(colour.alpha());
}

} // namespace Palette
