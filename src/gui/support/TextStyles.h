// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>

class QLabel;

// The text styles the screens name, as multiples of the application font ("body").
namespace TextStyles {

enum class Style
{
    largeTitle,
    title,
    title2,
    title3,
    headline,
    subheadline,
    caption
};

// A label in the style and weight; the onboarding title's "size 40" is a factor of its own.
QLabel *label(const QString &text, Style style, QFont::Weight weight = QFont::Normal);
QLabel *label(const QString &text, qreal factor, QFont::Weight weight);
// The style's font made from `base`, for text a delegate draws.
QFont font(Style style, const QFont &base);

} // namespace TextStyles
