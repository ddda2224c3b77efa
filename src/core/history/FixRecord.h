// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/FixOutcome.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUuid>

// One entry of the history of fixes: a fix that changed a file, or the undo that took one back.
// The content before and the diff stay in the journal file, read when asked for.
struct FixRecord
{
    enum class Kind : quint8
    {
        fix = 1,
        undo = 2,
    };

    Kind kind = Kind::fix;
    quint64 id = 0; // unique in the journal, growing with time
    QDateTime time;
    QUuid watcherId;
    QString watcher; // the watcher's name then; empty for a file under no watcher
    QString path;
    QString tool;
    QString configuration;
    FixOutcome::Origin origin = FixOutcome::Origin::save;
    // Shared by the files of one run over a tree or one command; empty for a save.
    QString run;
    // SHA-256 of the file before and after the fix (an undo: of the content it put back, and of
    // the content it replaced).
    QByteArray digestBefore;
    QByteArray digestAfter;
    int added = 0;
    int removed = 0;
    quint64 undoes = 0; // an undo: the fix it took back

    // Known from the journal as a whole, not stored with the entry.
    quint64 undoneBy = 0; // a fix: the undo that took it back
    qint64 offset = -1;   // where its entry starts in the journal file
    qint64 size = 0;      // of its whole entry there

    bool undone() const { return undoneBy != 0; }
};
