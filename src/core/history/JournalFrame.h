// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// The framing of the journal's entries: a mark, the length and a checksum ahead of each
// payload, so that an entry cut short by a crash, or damaged, is known and skipped.
namespace JournalFrame {

constexpr qint64 headerSize = 16;

QByteArray wrap(const QByteArray &payload);

enum class Read
{
    whole,   // `payload` holds the entry's bytes
    damaged, // complete, but its checksum does not match: skip `length` bytes
    torn,    // cut short, or no entry starts here: the file's good part ends before it
};

struct Header
{
    Read state = Read::torn;
    qint64 length = 0; // of the payload
};

// `header`: the headerSize bytes at an entry's start; `available`: the bytes after it.
Header readHeader(const QByteArray &header, qint64 available);
bool matches(const QByteArray &header, const QByteArray &payload);
// The offset in `bytes`, from `from` on, of the first whole entry that is not damaged; -1 when
// there is none.
qsizetype nextWhole(const QByteArray &bytes, qsizetype from);

} // namespace JournalFrame
