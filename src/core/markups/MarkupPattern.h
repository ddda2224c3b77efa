// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/Markup.h"

#include <QString>
#include <QStringView>

// What a markup looks like, shared by the text scanner and the byte scanner so that both
// give the same findings: the regular expression "(TODO|FIXME):\s*(.+)" applied to each line,
// first match only, with the keyword's group trimmed of horizontal white space and of a block
// comment's closer ("*/", "**/") that ends the line.
//
// Within one line that expression reduces to: the leftmost "TODO:" or "FIXME:"; nothing when the
// colon ends the line; otherwise the rest of the line after the colon, trimmed. Whatever "\s*"
// swallows is white space that the trim removes anyway.
namespace MarkupPattern {

// The characters that end a line; each one ends a line on its own, so CR LF gives two.
constexpr bool isLineBreak(char16_t c)
{
    return (c >= 0x0a && c <= 0x0d) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// Tab and the space separators (Unicode category Zs).
bool isHorizontalSpace(char16_t c);

QStringView trimmed(QStringView text);

// A new finding with a fresh id.
Markup makeMarkup(qint64 line, bool fixme, QStringView rest, const QString &filePath);

} // namespace MarkupPattern
