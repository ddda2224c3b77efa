// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/watchers/RunFixersDelegate.h"

#include "core/watching/CodeWatcherTableViewModel.h"

#include <QApplication>
#include <QLocale>
#include <QPainter>
#include <QStyleOptionProgressBar>

using Model = CodeWatcherTableViewModel;

RunFixersDelegate::RunFixersDelegate(QObject *parent)
    : CellButtonDelegate(
          Kind::button, QStringLiteral("play.circle"),
          [](const QModelIndex &index) { return index.data(Model::canRunFixersRole).toBool(); },
          parent)
{}

QString RunFixersDelegate::progressText(const QModelIndex &index)
{
    const qint64 total = index.data(Model::progressTotalRole).toLongLong();
    if (total <= 0)
        return {};
    const QLocale locale;
    return QStringLiteral("%1 of %2")
        .arg(locale.toString(index.data(Model::progressDoneRole).toLongLong()),
             locale.toString(total));
}

void RunFixersDelegate::paintAccessory(QPainter *painter, const QStyleOptionViewItem &option,
                                       const QRect &room, const QModelIndex &index) const
{
    const QString text = progressText(index);
    // A bar squeezed by a narrow column would be a sliver that says nothing.
    constexpr int kNarrowestBar = 40;
    if (text.isEmpty() || room.width() < kNarrowestBar)
        return;
    QStyleOptionProgressBar bar;
    bar.rect = room.adjusted(0, room.height() / 2 - 8, 0, -(room.height() / 2 - 8));
    bar.palette = option.palette;
    bar.state = QStyle::State_Enabled | QStyle::State_Horizontal;
    bar.minimum = 0;
    bar.maximum = int(std::min<qint64>(index.data(Model::progressTotalRole).toLongLong(),
                                       std::numeric_limits<int>::max()));
    bar.progress =
        int(std::min<qint64>(index.data(Model::progressDoneRole).toLongLong(), bar.maximum));
    bar.text = text;
    bar.textVisible = true;
    bar.textAlignment = Qt::AlignCenter;
    QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ProgressBar, &bar, painter, option.widget);
}
