// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/editor/SyntaxRole.h"

#include <QColor>
#include <QString>

#include <optional>

// The colours of the code editor: one per syntax role, and those of the editor around the text.
// Every role's colour stays readable on both the background and the current line's.
struct EditorTheme
{
    QString name;

    QColor background;
    QColor currentLine;
    QColor text;
    QColor comment;
    QColor keyword;
    QColor string;
    QColor number;
    QColor punctuation;
    QColor key;
    QColor section;
    QColor error;

    QColor marginBackground;
    QColor lineNumber;
    QColor caret;
    QColor selectionBackground;
    QColor selectionText;
    QColor errorMarker;

    QColor colour(SyntaxRole role) const;

    // Dark blue-grey with soft pastel colours.
    static EditorTheme ocean();
    // Nothing for a name no theme has.
    static std::optional<EditorTheme> named(const QString &name);
};
