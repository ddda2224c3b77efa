// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/watchers/CellButtonDelegate.h"

// "Run Fixers", enabled while the watcher runs, and beside it how far the work under way is
// ("120 of 1,000"): a user who formats a whole tree wants to see how far it has come.
class RunFixersDelegate : public CellButtonDelegate
{
    Q_OBJECT

public:
    explicit RunFixersDelegate(QObject *parent = nullptr);

    // "120 of 1,000" in the user's locale; empty when nothing is under way.
    static QString progressText(const QModelIndex &index);

protected:
    void paintAccessory(QPainter *painter, const QStyleOptionViewItem &option, const QRect &room,
                        const QModelIndex &index) const override;

private:
    static void paintProgressLine(QPainter *painter, const QStyleOptionViewItem &option,
                                  const QModelIndex &index);
};
