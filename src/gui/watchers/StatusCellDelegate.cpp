// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/watchers/StatusCellDelegate.h"

#include "core/watching/CodeWatcherTableViewModel.h"
#include "gui/support/WatcherStatusIcon.h"

#include <QApplication>
#include <QPainter>

using Model = CodeWatcherTableViewModel;

namespace {

constexpr int kMargin = 4;
constexpr int kIconSide = 16;

} // namespace

void StatusCellDelegate::initStyleOption(QStyleOptionViewItem *option,
                                         const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const auto state = WatcherStatus::State(index.data(Model::stateRole).toInt());
    const bool attention = index.data(Model::needsAttentionRole).toBool();
    option->icon = WatcherStatusIcon::icon(state, attention);
    option->features |= QStyleOptionViewItem::HasDecoration;
    option->decorationSize = QSize(kIconSide, kIconSide);
    option->textElideMode = Qt::ElideRight;
    if (!attention && state != WatcherStatus::State::running)
        option->palette.setColor(QPalette::Text, option->palette.color(QPalette::PlaceholderText));
}

void StatusCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const
{
    const QString detail = index.data(Model::statusDetailRole).toString();
    if (detail.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QIcon icon = item.icon;
    const QString text = item.text;
    // The row's background and focus as any cell has them, then the two lines by hand.
    item.icon = QIcon();
    item.text.clear();
    item.features &= ~QStyleOptionViewItem::HasDecoration;
    QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, option.widget);

    const QRect cell = option.rect.adjusted(kMargin, 0, -kMargin, 0);
    icon.paint(painter,
               QRect(cell.left(), cell.center().y() - kIconSide / 2, kIconSide, kIconSide));
    QRect lines = cell.adjusted(kIconSide + kMargin + 2, 0, 0, 0);
    QFont small = item.font;
    small.setPointSizeF(small.pointSizeF() * 0.85);
    const QFontMetrics top(item.font), bottom(small);
    const int height = top.height() + bottom.height();
    lines.setTop(cell.center().y() - height / 2);
    painter->save();
    painter->setFont(item.font);
    painter->setPen(item.palette.color(QPalette::Text));
    painter->drawText(QRect(lines.left(), lines.top(), lines.width(), top.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      top.elidedText(text, Qt::ElideRight, lines.width()));
    painter->setFont(small);
    painter->setPen(item.palette.color(QPalette::PlaceholderText));
    painter->drawText(
        QRect(lines.left(), lines.top() + top.height(), lines.width(), bottom.height()),
        Qt::AlignLeft | Qt::AlignVCenter, bottom.elidedText(detail, Qt::ElideRight, lines.width()));
    painter->restore();
}
