// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QIconEngine>

// An icon drawn from one SVG in a colour per mode, at the size asked for and only when asked:
// a window shows each of its icons at one or two sizes, and drawing every size of every mode
// up front made most of the start's work.
class TintedSvgIconEngine : public QIconEngine
{
public:
    struct Colours
    {
        QColor normal;
        QColor disabled;
        QColor selected;
    };

    TintedSvgIconEngine(QByteArray svg, Colours colours);

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine *clone() const override;
    QString key() const override;

private:
    QColor colourFor(QIcon::Mode mode) const;

    QByteArray m_svg;
    Colours m_colours;
    QHash<QString, QPixmap> m_drawn;
};
