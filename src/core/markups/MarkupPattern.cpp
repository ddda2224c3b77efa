// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/MarkupPattern.h"

#include <QChar>
#include <QUuid>

namespace {

// What follows the colon, trimmed; a note in a block comment ends where the comment does.
QStringView noteText(QStringView rest)
{
    QStringView note = MarkupPattern::trimmed(rest);
    if (!note.endsWith(u"*/"))
        return note;
    note.chop(1);
    while (note.endsWith(u'*'))
        note.chop(1);
    return MarkupPattern::trimmed(note);
}

} // namespace

namespace MarkupPattern {

bool isHorizontalSpace(char16_t c)
{
    if (c == u' ' || c == u'\t')
        return true;
    // Every space separator lies in the BMP, so one code unit decides.
    return c >= 0x80 && QChar::category(char32_t(c)) == QChar::Separator_Space;
}

QStringView trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isHorizontalSpace(text[begin].unicode()))
        ++begin;
    while (end > begin && isHorizontalSpace(text[end - 1].unicode()))
        --end;
    return text.sliced(begin, end - begin);
}

Markup makeMarkup(qint64 line, bool fixme, QStringView rest, const QString &filePath)
{
    return Markup{QUuid::createUuid(),
                  line,
                  fixme ? QStringLiteral("FIXME") : QStringLiteral("TODO"),
                  noteText(rest).toString(),
                  filePath,
                  false};
}

} // namespace MarkupPattern
