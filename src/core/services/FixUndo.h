// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/history/FixJournal.h"

#include <QString>
#include <QStringList>

class FileCoordinator;

// Takes fixes back: puts a file back to its content before a fix, only while the file holds
// exactly what the fix left (no partial undo), and notes the undo in the history, so that the
// watchers leave the content put back alone until the user saves another. Any thread; with the
// agent's coordinator, never while a fixer writes the same file.
class FixUndo
{
public:
    enum class Status
    {
        undone,
        changedSince, // the file no longer holds what the fix left, or the fix was undone
        unknown,      // no fix has that id
        failed,       // the history or the file could not be read or written
    };

    struct Outcome
    {
        Status status = Status::unknown;
        QString message; // one line for the user
    };

    struct RunOutcome
    {
        int undone = 0;
        int changedSince = 0;
        int failed = 0;
        QStringList notUndone; // one line per file left as it is
        QString summary() const;
    };

    explicit FixUndo(FixJournal &journal, FileCoordinator *coordinator = nullptr);

    Outcome undo(quint64 id);
    // Every fix of the run not undone yet, each by the same rule.
    RunOutcome undoRun(const QString &run);

private:
    Outcome putBack(const FixRecord &fix, const QByteArray &before);

    FixJournal &m_journal;
    FileCoordinator *m_coordinator;
};
