// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What a fix left behind, for the caller's scan of the file and its echo check.
struct FixResult
{
    // The bytes of the version the fixer knows the file to hold: what it wrote, or what it read
    // when it wrote nothing. Absent when it could not read the file.
    std::optional<QByteArray> content;
    // The user saved again while the tool ran: nothing was written or counted for this run,
    // and that save is to be processed as its own.
    bool superseded = false;
    // The run was judged a success, and recorded in the day's statistics: the one kind of run
    // the caller counts for its watcher too.
    bool succeeded = false;
};

// Formats one source file with its language's tool. Reports everything itself (log, console,
// daily statistics). `fix` blocks its thread until the tool has finished, and may run on several
// threads at once.
class IFixer
{
public:
    virtual ~IFixer() = default;

    // "Swift", "C++", "Objective-C" or "Kotlin": the name fixes are counted under.
    virtual QString language() const = 0;
    // `filePath`: the file's absolute local path.
    virtual FixResult fix(const QString &filePath) = 0;
    // Several files handed in together; one result per path, in order. A fixer may format them
    // in fewer runs of its tool, as long as each file is judged as if it had been alone.
    virtual QList<FixResult> fixAll(const QStringList &filePaths)
    {
        QList<FixResult> results;
        for (const QString &path : filePaths)
            results.append(fix(path));
        return results;
    }
};
