// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/Markup.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QUuid>

#include <chrono>
#include <optional>

// How one file handed to the fix pipeline came out: the one record the counters, the TODO list,
// the progress, the rows' state and the log learn of it from. Made once per file handed over,
// on the main thread.
struct FixOutcome
{
    // How the file came to be fixed.
    enum class Origin
    {
        save,        // the watcher saw it saved
        run,         // "Run Fixers" over the watcher's tree
        commandLine, // a command run by the user
    };

    enum class Result
    {
        changed,   // the tool's result replaced the file: a fix
        unchanged, // the tool ran and had nothing to change
        refused,   // not put in place: the user saved again while the tool ran
        failed,    // the tool could not run or complained, or its result could not be written
        skipped,   // not handed to a tool (gone, too large, not text, quitting, no fixer)
    };

    QUuid watcherId;
    QString path;
    Origin origin = Origin::save;
    Result result = Result::skipped;
    QString reason;   // failed or skipped: why, in words the user can read
    QString language; // the name fixes are counted under: "C++", "Swift"…; empty without a fixer
    QString tool;     // "clang-format"…; empty without a fixer
    // Of the tool's run that took the file (shared by the files of one batch).
    std::chrono::milliseconds duration{0};
    // SHA-256 of the file before and after; empty when the file could not be read. They differ
    // only for a changed file.
    QByteArray digestBefore;
    QByteArray digestAfter;
    // A changed file only: the bytes it held before and the bytes the fix left, for the history.
    QByteArray contentBefore;
    QByteArray contentAfter;
    // Files handed over together (one save, one run over a tree) share it, within a process.
    quint64 delivery = 0;
    // All the file's TODO findings now (none once it is gone); absent when not known: it could
    // not be read, or a newer save's run scans it.
    std::optional<MarkupList> markups;
    // The file was the last of its delivery: every file handed over with it is done.
    bool lastOfDelivery = false;

    bool changed() const { return result == Result::changed; }
};

Q_DECLARE_METATYPE(FixOutcome)
