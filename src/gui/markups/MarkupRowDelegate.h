// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

// Draws the markups screen's rows by kind: a watcher or folder with its count; a file with its
// path, count and open button; a file header with "Open"; a markup with its badge, line, open
// button and text. A click on an open button asks for the file to be opened.
class MarkupRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // Blue only for exactly "TODO"; any other type reads as a warning.
    static QColor badgeColour(const QString &type);
    // Where a row's open button is drawn; empty for rows without one.
    static QRect openButtonRect(const QStyleOptionViewItem &option, const QModelIndex &index);

Q_SIGNALS:
    void openRequested(const QModelIndex &index);

protected:
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

private:
    void paintFolder(QPainter *painter, const QStyleOptionViewItem &option,
                     const QModelIndex &index) const;
    void paintFile(QPainter *painter, const QStyleOptionViewItem &option,
                   const QModelIndex &index) const;
    void paintMarkup(QPainter *painter, const QStyleOptionViewItem &option,
                     const QModelIndex &index) const;
};
