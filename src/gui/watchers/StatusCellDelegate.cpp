// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/watchers/StatusCellDelegate.h"

#include "core/watching/CodeWatcherTableViewModel.h"
#include "gui/support/WatcherStatusIcon.h"

using Model = CodeWatcherTableViewModel;

void StatusCellDelegate::initStyleOption(QStyleOptionViewItem *option,
                                         const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const auto state = WatcherStatus::State(index.data(Model::stateRole).toInt());
    const bool attention = index.data(Model::needsAttentionRole).toBool();
    option->icon = WatcherStatusIcon::icon(state, attention, option->palette);
    option->features |= QStyleOptionViewItem::HasDecoration;
    option->decorationSize = QSize(16, 16);
    option->textElideMode = Qt::ElideRight;
    if (!attention && state != WatcherStatus::State::running)
        option->palette.setColor(QPalette::Text, option->palette.color(QPalette::PlaceholderText));
}
