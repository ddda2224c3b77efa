// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

#include <functional>

// A table cell drawn as a push button (or a check box) that reports its clicks: a button per
// row without a widget per row. What it shows and whether it is enabled come from the model.
class CellButtonDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    enum class Kind
    {
        button,
        checkBox
    };
    using Enabled = std::function<bool(const QModelIndex &)>;

    CellButtonDelegate(Kind kind, QString symbol, Enabled enabled, QObject *parent = nullptr);

    bool isEnabled(const QModelIndex &index) const { return !m_enabled || m_enabled(index); }
    // As a click: the keyboard's way to the control (Space or Return on the current cell).
    bool press(const QModelIndex &index);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

Q_SIGNALS:
    void clicked(const QModelIndex &index);

protected:
    // Beside the control, in `room`: what a subclass shows about the row (nothing here).
    virtual void paintAccessory(QPainter *, const QStyleOptionViewItem &, const QRect &room,
                                const QModelIndex &) const
    {
        Q_UNUSED(room);
    }
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

private:
    QRect controlRect(const QStyleOptionViewItem &option, const QModelIndex &index) const;

    Kind m_kind;
    QString m_symbol;
    Enabled m_enabled;
};
