// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/support/TintedSvgIconEngine.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

TintedSvgIconEngine::TintedSvgIconEngine(QByteArray svg, Colours colours)
    : m_svg(std::move(svg))
    , m_colours(colours)
{}

QColor TintedSvgIconEngine::colourFor(QIcon::Mode mode) const
{
    switch (mode) {
    case QIcon::Disabled:
        return m_colours.disabled;
    case QIcon::Selected:
        return m_colours.selected;
    case QIcon::Normal:
    case QIcon::Active:
        break;
    }
    return m_colours.normal;
}

QPixmap TintedSvgIconEngine::pixmap(const QSize &size, QIcon::Mode mode, QIcon::State)
{
    const QColor colour = colourFor(mode);
    const QString key = QStringLiteral("%1x%2|%3")
                            .arg(size.width())
                            .arg(size.height())
                            .arg(colour.name(QColor::HexArgb));
    const auto found = m_drawn.constFind(key);
    if (found != m_drawn.cend())
        return *found;
    QPixmap drawn(size);
    drawn.fill(Qt::transparent);
    QByteArray svg = m_svg;
    // An SVG colour carries no alpha, and the palette's secondary and disabled colours are
    // translucent: the alpha goes into the painting instead, or grey would come out black.
    QSvgRenderer renderer(svg.replace("currentColor", colour.name(QColor::HexRgb).toLatin1()));
    QPainter painter(&drawn);
    painter.setOpacity(colour.alphaF());
    renderer.render(&painter, QRectF(QPointF(), QSizeF(size)));
    painter.end();
    m_drawn.insert(key, drawn);
    return drawn;
}

void TintedSvgIconEngine::paint(QPainter *painter, const QRect &rect, QIcon::Mode mode,
                                QIcon::State state)
{
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QPixmap drawn = pixmap(rect.size() * ratio, mode, state);
    drawn.setDevicePixelRatio(ratio);
    painter->drawPixmap(rect, drawn);
}

QSize TintedSvgIconEngine::actualSize(const QSize &size, QIcon::Mode, QIcon::State)
{
    return size;
}

QIconEngine *TintedSvgIconEngine::clone() const
{
    return new TintedSvgIconEngine(*this);
}

QString TintedSvgIconEngine::key() const
{
    return QStringLiteral("TintedSvgIconEngine");
}
