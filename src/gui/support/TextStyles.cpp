// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/support/TextStyles.h"

#include <QLabel>

namespace TextStyles {

namespace {

qreal factorOf(Style style)
{
    switch (style) {
    case Style::largeTitle:
        return 2.0;
    case Style::title:
        return 1.7;
    case Style::title2:
        return 1.3;
    case Style::title3:
        return 1.15;
    case Style::headline:
        return 1.0;
    case Style::subheadline:
        return 0.85;
    case Style::caption:
        return 0.77;
    }
    return 1.0;
}

} // namespace

QLabel *label(const QString &text, qreal factor, QFont::Weight weight)
{
    auto *made = new QLabel(text);
    QFont font = made->font();
    font.setPointSizeF(font.pointSizeF() * factor);
    font.setWeight(weight);
    made->setFont(font);
    made->setAccessibleName(text);
    return made;
}

QFont font(Style style, const QFont &base)
{
    QFont font = base;
    font.setPointSizeF(font.pointSizeF() * factorOf(style));
    if (style == Style::headline)
        font.setWeight(QFont::Bold);
    return font;
}

QLabel *label(const QString &text, Style style, QFont::Weight weight)
{
    return label(text, factorOf(style), style == Style::headline ? QFont::Bold : weight);
}

} // namespace TextStyles
