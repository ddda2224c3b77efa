// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/watchers/CellButtonDelegate.h"

#include "gui/support/SymbolIcons.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

CellButtonDelegate::CellButtonDelegate(Kind kind, QString symbol, Enabled enabled, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_kind(kind)
    , m_symbol(std::move(symbol))
    , m_enabled(std::move(enabled))
{}

QRect CellButtonDelegate::controlRect(const QStyleOptionViewItem &option,
                                      const QModelIndex &index) const
{
    const QSize size = sizeHint(option, index).boundedTo(option.rect.size());
    QRect rect(QPoint(), size);
    rect.moveCenter(option.rect.center());
    rect.moveLeft(option.rect.left() + 4);
    return rect;
}

void CellButtonDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const
{
    QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    const bool enabled = isEnabled(index);
    if (m_kind == Kind::checkBox) {
        QStyleOptionButton box;
        box.rect = controlRect(option, index);
        box.palette = option.palette;
        box.state = (enabled ? QStyle::State_Enabled : QStyle::State_None) |
                    (option.state & QStyle::State_HasFocus) |
                    (index.data(Qt::CheckStateRole).toInt() == Qt::Checked ? QStyle::State_On
                                                                           : QStyle::State_Off);
        style->drawControl(QStyle::CE_CheckBox, &box, painter, option.widget);
        return;
    }
    QStyleOptionButton button;
    button.rect = controlRect(option, index);
    button.palette = option.palette;
    button.fontMetrics = option.fontMetrics;
    button.direction = option.direction;
    if (!enabled)
        button.palette.setCurrentColorGroup(QPalette::Disabled);
    button.text = index.data().toString();
    if (!m_symbol.isEmpty()) {
        button.icon = SymbolIcons::icon(m_symbol, button.palette);
        button.iconSize = QSize(14, 14);
    }
    button.state = enabled ? QStyle::State_Enabled | QStyle::State_Raised : QStyle::State_None;
    button.state |= option.state & QStyle::State_HasFocus;
    style->drawControl(QStyle::CE_PushButton, &button, painter, option.widget);
    QRect room = option.rect;
    room.setLeft(button.rect.right() + 8);
    room.setRight(room.right() - 4);
    paintAccessory(painter, option, room, index);
}

QSize CellButtonDelegate::sizeHint(const QStyleOptionViewItem &option,
                                   const QModelIndex &index) const
{
    QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    if (m_kind == Kind::checkBox)
        return {style->pixelMetric(QStyle::PM_IndicatorWidth),
                style->pixelMetric(QStyle::PM_IndicatorHeight)};
    QStyleOptionButton button;
    button.text = index.data().toString();
    const int textWidth = option.fontMetrics.horizontalAdvance(button.text);
    const int iconWidth = m_symbol.isEmpty() ? 0 : 14 + (button.text.isEmpty() ? 0 : 4);
    return style->sizeFromContents(QStyle::CT_PushButton, &button,
                                   QSize(textWidth + iconWidth, option.fontMetrics.height()),
                                   option.widget);
}

bool CellButtonDelegate::press(const QModelIndex &index)
{
    if (!isEnabled(index))
        return false;
    Q_EMIT clicked(index);
    return true;
}

bool CellButtonDelegate::editorEvent(QEvent *event, QAbstractItemModel *,
                                     const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() != QEvent::MouseButtonRelease || !isEnabled(index))
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton ||
        !controlRect(option, index).contains(mouse->position().toPoint()))
        return false;
    return press(index);
}
