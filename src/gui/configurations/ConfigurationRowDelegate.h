// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

// A configuration in the list sheet: its name, when it was created below it, a pencil that
// says a click edits it, and room at the end for the row's delete button (a widget of the
// view's, placed here).
class ConfigurationRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int buttonSize = 28;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *widget, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
