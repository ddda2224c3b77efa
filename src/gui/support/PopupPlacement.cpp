// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/support/PopupPlacement.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

QPoint popupOrigin(const QRect &anchor, const QSize &size)
{
    const QPoint at = anchor.isEmpty() ? QCursor::pos() : anchor.bottomLeft();
    QScreen *screen = QGuiApplication::screenAt(at);
    const QRect room = screen ? screen->availableGeometry()
                              : QGuiApplication::primaryScreen()->availableGeometry();
    QPoint origin = at;
    if (origin.y() + size.height() > room.bottom())
        origin.setY((anchor.isEmpty() ? at.y() : anchor.top()) - size.height());
    origin.setX(
        std::clamp(origin.x(), room.left(), std::max(room.left(), room.right() - size.width())));
    origin.setY(
        std::clamp(origin.y(), room.top(), std::max(room.top(), room.bottom() - size.height())));
    return origin;
}
