// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPalette>
#include <QString>

// The symbols the screens name ("eye", "gear", "chevron.left.slash.chevron.right", …), drawn
// from the bundled icon set and tinted from the palette, so they follow light and dark themes.
namespace SymbolIcons {

// An empty icon for a name the table does not hold.
QIcon icon(const QString &symbol, const QPalette &palette = QPalette());
// Tinted with a colour of its own (a status colour) rather than the text's.
QIcon icon(const QString &symbol, const QColor &color);
bool has(const QString &symbol);
// `base` with a small symbol over its lower right corner (the tray's warning), at the sizes a
// tray or a panel asks for.
QIcon badged(const QIcon &base, const QString &badge, const QColor &color);
// The application's own icon: the installed theme's, else the bundled one.
QIcon applicationIcon();

} // namespace SymbolIcons
