// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHeaderView>

// A header whose titles end in "…" when their section is too narrow. Qt 6's header ignores its
// elide mode and cuts a centred title at both ends ("tension to"), which reads as nothing.
class ElidingHeader : public QHeaderView
{
    Q_OBJECT

public:
    explicit ElidingHeader(Qt::Orientation orientation, QWidget *parent = nullptr);

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
};
