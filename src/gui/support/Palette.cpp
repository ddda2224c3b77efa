// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/support/Palette.h"

#include <algorithm>
#include <cmath>

namespace {

double luminance(const QColor &colour)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

QColor laidOn(const QColor &colour, const QColor &background)
{
    const double alpha = colour.alphaF();
    const auto mix = [alpha](int front, int back) {
        return int(std::lround(front * alpha + back * (1 - alpha)));
    };
    return {mix(colour.red(), background.red()), mix(colour.green(), background.green()),
            mix(colour.blue(), background.blue())};
}

} // namespace

namespace Palette {

double contrast(const QColor &one, const QColor &other)
{
    const double a = luminance(one);
    const double b = luminance(other);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor readable(const QColor &colour, const QColor &background, double ratio)
{
    QColor opaque = laidOn(colour, background);
    const bool darken = luminance(background) > 0.18; // nearer white than black
    for (int step = 0; step < 100 && contrast(opaque, background) < ratio; ++step) {
        float hue = 0;
        float saturation = 0;
        float lightness = 0;
        opaque.getHslF(&hue, &saturation, &lightness);
        lightness = std::clamp(lightness + (darken ? -0.02F : 0.02F), 0.0F, 1.0F);
        opaque.setHslF(hue, saturation, lightness);
    }
    return opaque;
}

} // namespace Palette
