// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/DateStyles.h"

#include <QList>

#include <algorithm>

namespace {

// A field is a run of one pattern letter ("MMMM"); everything between fields, quoted text
// included, is literal.
struct Piece
{
    QString text;
    bool field = false;
};

bool isPatternLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

void appendLiteral(QList<Piece> &pieces, QStringView text)
{
    if (pieces.isEmpty() || pieces.last().field)
        pieces.append(Piece{});
    pieces.last().text += text;
}

QList<Piece> pieces(const QString &format)
{
    QList<Piece> result;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        qsizetype end = i + 1;
        if (c == u'\'') {
            const qsizetype closing = format.indexOf(u'\'', i + 1);
            end = closing < 0 ? format.size() : closing + 1;
            appendLiteral(result, QStringView(format).mid(i, end - i));
        } else if (isPatternLetter(c)) {
            while (end < format.size() && format.at(end) == c)
                ++end;
            result.append(Piece{format.mid(i, end - i), true});
        } else {
            appendLiteral(result, QStringView(format).mid(i, 1));
        }
        i = end;
    }
    return result;
}

bool isWeekday(const Piece &piece)
{
    return piece.field && piece.text.startsWith(u'd') && piece.text.size() >= 3;
}

// Punctuation and spaces only: what joins the weekday to the rest ("dddd, "), never a word
// such as the "日" that ends a Japanese date.
bool isSeparator(const Piece &piece)
{
    return !piece.field && std::none_of(piece.text.cbegin(), piece.text.cend(),
                                        [](QChar c) { return c.isLetterOrNumber(); });
}

void removeWeekdays(QList<Piece> &pieces)
{
    for (qsizetype i = 0; i < pieces.size();) {
        if (!isWeekday(pieces.at(i))) {
            ++i;
            continue;
        }
        pieces.removeAt(i);
        if (i < pieces.size() && isSeparator(pieces.at(i)))
            pieces.removeAt(i);
        else if (i > 0 && isSeparator(pieces.at(i - 1)))
            pieces.removeAt(--i);
    }
}

} // namespace

namespace DateStyles {

QString mediumFormat(const QLocale &locale)
{
    QList<Piece> parts = pieces(locale.dateFormat(QLocale::LongFormat));
    removeWeekdays(parts);
    QString format;
    for (const Piece &part : std::as_const(parts)) {
        const bool monthName = part.field && part.text.startsWith(u'M') && part.text.size() > 3;
        format += monthName ? QStringLiteral("MMM") : part.text;
    }
    return format.trimmed();
}

QString medium(QDate date, const QLocale &locale)
{
    return locale.toString(date, mediumFormat(locale));
}

} // namespace DateStyles
