// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Where a popup of `size` goes next to `anchor` (global coordinates; empty: the cursor):
// below it when there is room, above it otherwise, and always inside the screen.
QPoint popupOrigin(const QRect &anchor, const QSize &size);
