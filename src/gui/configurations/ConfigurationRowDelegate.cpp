// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/configurations/ConfigurationRowDelegate.h"

#include "core/formatting/ConfigurationListModel.h"
#include "gui/support/SymbolIcons.h"
#include "gui/support/TextStyles.h"

#include <QApplication>
#include <QPainter>

namespace {

constexpr int kPadding = 4;
constexpr int kIconSize = 16;
constexpr int kGap = 8;

} // namespace

void ConfigurationRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                     const QModelIndex &index) const
{
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, option.widget);

    const bool selected = option.state & QStyle::State_Selected;
    const QRect room = option.rect.adjusted(8, kPadding, -8, -kPadding);
    const QFont name = TextStyles::font(TextStyles::Style::headline, option.font);
    const QFont created = TextStyles::font(TextStyles::Style::caption, option.font);
    const int nameHeight = QFontMetrics(name).height();
    const QRect text = room.adjusted(0, 0, -(kIconSize + 8 + buttonSize + kGap), 0);

    painter->save();
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(name);
    painter->drawText(
        text.adjusted(0, 0, 0, -(room.height() - nameHeight)), Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(name).elidedText(index.data().toString(), Qt::ElideRight, text.width()));
    painter->setPen(
        option.palette.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText));
    painter->setFont(created);
    painter->drawText(text.adjusted(0, nameHeight, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                      index.data(ConfigurationListModel::createdTextRole).toString());
    painter->restore();

    const QRect pencil(room.right() - buttonSize - kGap - kIconSize,
                       room.center().y() - kIconSize / 2, kIconSize, kIconSize);
    SymbolIcons::icon(QStringLiteral("pencil"), option.palette)
        .paint(painter, pencil, Qt::AlignCenter, QIcon::Normal);
}

void ConfigurationRowDelegate::updateEditorGeometry(QWidget *widget,
                                                    const QStyleOptionViewItem &option,
                                                    const QModelIndex &) const
{
    const QRect room = option.rect.adjusted(8, kPadding, -8, -kPadding);
    widget->setGeometry(room.right() + 1 - buttonSize, room.center().y() - buttonSize / 2,
                        buttonSize, buttonSize);
}

QSize ConfigurationRowDelegate::sizeHint(const QStyleOptionViewItem &option,
                                         const QModelIndex &) const
{
    const int height =
        QFontMetrics(TextStyles::font(TextStyles::Style::headline, option.font)).height() +
        QFontMetrics(TextStyles::font(TextStyles::Style::caption, option.font)).height();
    return {200, height + 2 * kPadding + 8};
}
