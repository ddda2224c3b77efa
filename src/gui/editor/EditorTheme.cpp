// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/editor/EditorTheme.h"

using namespace Qt::StringLiterals;

QColor EditorTheme::colour(SyntaxRole role) const
{
    switch (role) {
    case SyntaxRole::Text:
        return text;
    case SyntaxRole::Comment:
        return comment;
    case SyntaxRole::Keyword:
        return keyword;
    case SyntaxRole::String:
        return string;
    case SyntaxRole::Number:
        return number;
    case SyntaxRole::Punctuation:
        return punctuation;
    case SyntaxRole::Key:
        return key;
    case SyntaxRole::Section:
        return section;
    case SyntaxRole::Error:
        return error;
    }
    return text;
}

// The pastels are lighter than the usual ones of such a palette: each keeps a contrast of 4.5 on
// the current line too, comments included. What a configuration is mostly made of reads apart at
// a glance: keys blue, values near white, comments a warm grey.
EditorTheme EditorTheme::ocean()
{
    EditorTheme theme;
    theme.name = u"ocean"_s;
    theme.background = QColor(0x2b, 0x30, 0x3b);
    theme.currentLine = QColor(0x31, 0x37, 0x44);
    theme.text = QColor(0xe2, 0xe5, 0xea);
    theme.comment = QColor(0xb0, 0xa8, 0x92);
    theme.keyword = QColor(0xc9, 0xa5, 0xc4);
    theme.string = QColor(0xa3, 0xbe, 0x8c);
    theme.number = QColor(0xdd, 0xa3, 0x86);
    theme.punctuation = QColor(0x96, 0xb5, 0xb4);
    theme.key = QColor(0x6c, 0xb6, 0xff);
    theme.section = QColor(0xeb, 0xcb, 0x8b);
    theme.error = QColor(0xe8, 0x94, 0x9b);
    theme.marginBackground = QColor(0x26, 0x2b, 0x35);
    theme.lineNumber = QColor(0x8f, 0x9a, 0xa8);
    theme.caret = QColor(0xef, 0xf1, 0xf5);
    theme.selectionBackground = QColor(0x4f, 0x5b, 0x66);
    theme.selectionText = QColor(0xef, 0xf1, 0xf5);
    theme.errorMarker = QColor(0xe0, 0x6c, 0x75);
    return theme;
}

std::optional<EditorTheme> EditorTheme::named(const QString &name)
{
    if (name == u"ocean"_s)
        return ocean();
    return std::nullopt;
}
