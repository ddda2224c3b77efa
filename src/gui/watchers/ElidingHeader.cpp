// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/watchers/ElidingHeader.h"

#include <QPainter>
#include <QStyleOptionHeader>

ElidingHeader::ElidingHeader(Qt::Orientation orientation, QWidget *parent)
    : QHeaderView(orientation, parent)
{}

void ElidingHeader::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    if (!rect.isValid())
        return;
    QStyleOptionHeader option;
    initStyleOption(&option);
    initStyleOptionForIndex(&option, logicalIndex);
    option.rect = rect;
    const int margins = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, &option, this);
    option.text =
        option.fontMetrics.elidedText(option.text, Qt::ElideRight, rect.width() - margins);
    painter->save();
    style()->drawControl(QStyle::CE_Header, &option, painter, this);
    painter->restore();
}
