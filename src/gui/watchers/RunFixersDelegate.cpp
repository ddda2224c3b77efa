// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/watchers/RunFixersDelegate.h"

#include "core/watching/CodeWatcherTableViewModel.h"

#include <QApplication>
#include <QLocale>
#include <QPainter>
#include <QStyleOptionProgressBar>

#include <algorithm>

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
    if (text.isEmpty())
        return;
    // Beside the button when there is room for a bar with its words; else a thin line under
    // the button, since a squeezed bar would be a sliver that says nothing.
    constexpr int kNarrowestBar = 40;
    if (room.width() < kNarrowestBar) {
        paintProgressLine(painter, option, index);
        return;
    }
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

void RunFixersDelegate::paintProgressLine(QPainter *painter, const QStyleOptionViewItem &option,
                                          const QModelIndex &index)
{
    const qint64 total = index.data(Model::progressTotalRole).toLongLong();
    const qint64 done =
        std::clamp<qint64>(index.data(Model::progressDoneRole).toLongLong(), 0, total);
    const QRect line(option.rect.left() + 4, option.rect.bottom() - 3, option.rect.width() - 8, 2);
    painter->fillRect(line, option.palette.color(QPalette::Mid));
    painter->fillRect(QRect(line.topLeft(), QSize(int(line.width() * done / total), line.height())),
                      option.palette.color(QPalette::Highlight));
}
