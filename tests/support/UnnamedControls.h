// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessible>
#include <QApplication>
#include <QStringList>
#include <QWidget>

// Controls a screen reader (or a script driving the app) could not name, in every open window.
inline QStringList unnamedControls()
{
    QStringList unnamed;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        for (QWidget *control : window->findChildren<QWidget *>()) {
            if (!control->isVisibleTo(window) || control->focusPolicy() == Qt::NoFocus)
                continue;
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(control);
            if (!face || face->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << QString::fromLatin1(control->metaObject()->className()) +
                               QStringLiteral(" in ") + window->windowTitle();
        }
    }
    return unnamed;
}
