// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A file the user imports or drops into the configuration editor, read as UTF-8 text. A
// configuration is a few kilobytes: a larger file is refused before it is read, so that a
// mistaken pick of a big binary cannot stall the sheet.
struct ImportedConfiguration
{
    enum class Outcome
    {
        text,      // `text` holds the file
        notUtf8,   // left alone, without a word
        tooLarge,  // refused, and the user is told
        unreadable // a folder, a missing file or one we may not read
    };

    static constexpr qint64 maximumBytes = qint64{1024} * 1024;

    static ImportedConfiguration read(const QString &path);

    Outcome outcome = Outcome::unreadable;
    QString text;
};
