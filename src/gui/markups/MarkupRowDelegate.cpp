// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/markups/MarkupRowDelegate.h"

#include "core/markups/MarkupTreeModel.h"
#include "gui/support/Palette.h"
#include "gui/support/SymbolIcons.h"
#include "gui/support/TextStyles.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

using Kind = MarkupTreeModel::Kind;

constexpr int kIcon = 16;
constexpr int kMargin = 4;

Kind kindOf(const QModelIndex &index)
{
    return Kind(index.data(MarkupTreeModel::kindRole).toInt());
}

QString itemsText(const QModelIndex &index)
{
    return QString::number(index.data(MarkupTreeModel::countRole).toLongLong()) +
           QStringLiteral(" items");
}

QColor secondary(const QStyleOptionViewItem &option)
{
    return option.palette.color(QPalette::PlaceholderText);
}

// The text's width in `font`, drawn at the right end of `room`; what is left of `room`.
QRect drawRight(QPainter *painter, const QRect &room, const QString &text, const QFont &font,
                const QColor &colour)
{
    const int width = QFontMetrics(font).horizontalAdvance(text);
    painter->setFont(font);
    painter->setPen(colour);
    painter->drawText(QRect(room.right() - width, room.top(), width, room.height()),
                      Qt::AlignRight | Qt::AlignVCenter, text);
    return room.adjusted(0, 0, -(width + 8), 0);
}

void drawIcon(QPainter *painter, const QRect &room, const QString &symbol, const QColor &colour)
{
    SymbolIcons::icon(symbol, colour)
        .paint(painter, QRect(room.left(), room.center().y() - kIcon / 2, kIcon, kIcon));
}

// Two lines: the first in `first`, the second in the caption style and secondary colour.
void drawTwoLines(QPainter *painter, const QRect &room, const QString &top, const QFont &first,
                  const QString &bottom, const QStyleOptionViewItem &option)
{
    const QFont caption = TextStyles::font(TextStyles::Style::caption, option.font);
    const int topHeight = QFontMetrics(first).height();
    painter->setFont(first);
    painter->setPen(option.palette.color(QPalette::Text));
    painter->drawText(QRect(room.left(), room.top(), room.width(), topHeight),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(first).elidedText(top, Qt::ElideRight, room.width()));
    painter->setFont(caption);
    painter->setPen(secondary(option));
    painter->drawText(QRect(room.left(), room.top() + topHeight, room.width(), room.height()),
                      Qt::AlignLeft | Qt::AlignTop,
                      QFontMetrics(caption).elidedText(bottom, Qt::ElideMiddle, room.width()));
}

} // namespace

QColor MarkupRowDelegate::badgeColour(const QString &type)
{
    QColor colour = type == QStringLiteral("TODO") ? Palette::blue() : Palette::orange();
    colour.setAlphaF(0.2f);
    return colour;
}

QRect MarkupRowDelegate::openButtonRect(const QStyleOptionViewItem &option,
                                        const QModelIndex &index)
{
    const QRect room = option.rect.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    switch (kindOf(index)) {
    case Kind::file:
        return {room.right() - kIcon, room.center().y() - kIcon / 2, kIcon, kIcon};
    case Kind::markup: {
        const int lineHeight = QFontMetrics(option.font).height();
        return {room.right() - kIcon, room.top() + (lineHeight - kIcon) / 2, kIcon, kIcon};
    }
    case Kind::fileHeader: {
        const int width = QFontMetrics(option.font).horizontalAdvance(QStringLiteral("Open")) + 16;
        return {room.right() - width, room.center().y() - 11, width, 22};
    }
    case Kind::watcher:
    case Kind::folder:
        break;
    }
    return {};
}

void MarkupRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    background.icon = QIcon();
    QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, option.widget);
    painter->save();
    switch (kindOf(index)) {
    case Kind::watcher:
    case Kind::folder:
        paintFolder(painter, option, index);
        break;
    case Kind::file:
    case Kind::fileHeader:
        paintFile(painter, option, index);
        break;
    case Kind::markup:
        paintMarkup(painter, option, index);
        break;
    }
    painter->restore();
}

void MarkupRowDelegate::paintFolder(QPainter *painter, const QStyleOptionViewItem &option,
                                    const QModelIndex &index) const
{
    const bool watcher = kindOf(index) == Kind::watcher;
    QRect room = option.rect.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    drawIcon(painter, room, watcher ? QStringLiteral("eye") : QStringLiteral("folder"),
             watcher ? Palette::blue() : secondary(option));
    room.setLeft(room.left() + kIcon + 6);
    room = drawRight(painter, room, itemsText(index),
                     TextStyles::font(TextStyles::Style::caption, option.font), secondary(option));
    QFont name = option.font;
    name.setBold(watcher);
    painter->setFont(name);
    painter->setPen(option.palette.color(QPalette::Text));
    painter->drawText(
        room, Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(name).elidedText(index.data().toString(), Qt::ElideRight, room.width()));
}

void MarkupRowDelegate::paintFile(QPainter *painter, const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    const bool header = kindOf(index) == Kind::fileHeader;
    QRect room = option.rect.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const QRect open = openButtonRect(option, index);
    if (header) {
        QStyleOptionButton button;
        button.rect = open;
        button.text = QStringLiteral("Open");
        button.palette = option.palette;
        button.state = QStyle::State_Enabled;
        QStyle *style = option.widget ? option.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_PushButton, &button, painter, option.widget);
    } else {
        drawIcon(painter, open, QStringLiteral("arrow.up.forward.square"),
                 option.palette.color(QPalette::Text));
        drawIcon(painter, room, QStringLiteral("doc"), secondary(option));
        room.setLeft(room.left() + kIcon + 6);
    }
    room.setRight(open.left() - 8);
    if (!header)
        room =
            drawRight(painter, room, itemsText(index),
                      TextStyles::font(TextStyles::Style::caption, option.font), secondary(option));
    const QFont name =
        header ? TextStyles::font(TextStyles::Style::headline, option.font) : option.font;
    drawTwoLines(painter, room, index.data().toString(), name,
                 index.data(MarkupTreeModel::filePathRole).toString(), option);
}

void MarkupRowDelegate::paintMarkup(QPainter *painter, const QStyleOptionViewItem &option,
                                    const QModelIndex &index) const
{
    const QRect room = option.rect.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const QFont caption = TextStyles::font(TextStyles::Style::caption, option.font);
    const int lineHeight = QFontMetrics(option.font).height();
    const QString type = index.data(MarkupTreeModel::typeRole).toString();

    const QColor badge = badgeColour(type);
    const int badgeWidth = QFontMetrics(caption).horizontalAdvance(type) + 2 * kMargin;
    const QRect badgeRect(room.left(), room.top() + 1, badgeWidth, lineHeight - 2);
    QPainterPath rounded;
    rounded.addRoundedRect(badgeRect, 4, 4);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(rounded, badge);
    painter->setFont(caption);
    painter->setPen(option.palette.color(QPalette::Text));
    painter->drawText(badgeRect, Qt::AlignCenter, type);
    painter->setPen(secondary(option));
    painter->drawText(QRect(badgeRect.right() + 8, room.top(), 200, lineHeight),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      QStringLiteral("Line ") +
                          QString::number(index.data(MarkupTreeModel::lineRole).toLongLong()));
    drawIcon(painter, openButtonRect(option, index), QStringLiteral("arrow.up.forward.square"),
             option.palette.color(QPalette::Text));
    painter->setFont(option.font);
    painter->setPen(option.palette.color(QPalette::Text));
    const QRect text(room.left(), room.top() + lineHeight, room.width(), lineHeight);
    painter->drawText(
        text, Qt::AlignLeft | Qt::AlignVCenter,
        option.fontMetrics.elidedText(index.data().toString(), Qt::ElideRight, text.width()));
}

QSize MarkupRowDelegate::sizeHint(const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    const int line = QFontMetrics(option.font).height();
    const int caption =
        QFontMetrics(TextStyles::font(TextStyles::Style::caption, option.font)).height();
    switch (kindOf(index)) {
    case Kind::watcher:
    case Kind::folder:
        return {200, line + 2 * kMargin + 4};
    case Kind::file:
        return {200, line + caption + 2 * kMargin + 2};
    case Kind::fileHeader:
        return {200,
                QFontMetrics(TextStyles::font(TextStyles::Style::headline, option.font)).height() +
                    caption + 2 * kMargin + 4};
    case Kind::markup:
        return {200, 2 * line + 2 * kMargin};
    }
    return {200, line};
}

bool MarkupRowDelegate::editorEvent(QEvent *event, QAbstractItemModel *,
                                    const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton ||
        !openButtonRect(option, index).contains(mouse->position().toPoint()))
        return false;
    Q_EMIT openRequested(index);
    return true;
}
