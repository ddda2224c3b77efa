// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QLabel;
class QPushButton;
class QToolButton;
class QWidget;

// The kinds of control the screens name, built one way everywhere; each is named for screen
// readers by its text, or by its help text when it shows only an icon.
namespace Controls {

// The screen's main action: filled with the accent colour.
QPushButton *prominentButton(const QString &text, const QString &symbol = QString());
// Text and icon without a frame until hovered.
QToolButton *borderlessButton(const QString &text, const QString &symbol = QString(),
                              const QString &help = QString());
// A line in the secondary colour, wrapped.
QLabel *secondaryLabel(const QString &text);
// A line in red for what went wrong, hidden until it has something to say.
QLabel *errorLine();
// A page that says there is nothing here yet: an icon, a title, a line of explanation and
// an optional action, centred.
QWidget *emptyState(const QString &symbol, int iconSize, QLabel *title, const QString &message,
                    int spacing, QWidget *action = nullptr);

} // namespace Controls
