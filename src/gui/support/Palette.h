// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QString>

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

// WCAG's contrast ratio of two opaque colours, from 1 to 21.
double contrast(const QColor &one, const QColor &other);

// `colour` as text on `background` reads at `ratio` or more: kept if it does, else made darker
// (on a light background) or lighter (on a dark one), keeping its hue. A translucent colour is
// first laid on the background.
QColor readable(const QColor &colour, const QColor &background, double ratio = 4.5);

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
