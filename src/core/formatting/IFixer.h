// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// What a fix left behind, for the caller's scan of the file, its echo check and its counts.
struct FixResult
{
    enum class Outcome
    {
        changed,    // the tool's result differed from the file and replaced it: a fix
        unchanged,  // the tool ran and had nothing to change
        failed,     // the tool could not run or complained, or its result could not be put in place
        skipped,    // not handed to the tool: gone, too large, not text, or the program is quitting
        superseded, // the user saved again while the tool ran; that save is processed on its own
    };

    // The bytes of the version the fixer knows the file to hold: what it wrote, or what it read
    // when it wrote nothing. Absent when it could not read the file. A check that writes
    // nothing gives here the result it would have written (`ToolFixerEnvironment::checkOnly`).
    std::optional<QByteArray> content;
    // Changed: the bytes the fixer read and replaced. Otherwise absent, the file holding what
    // it held.
    std::optional<QByteArray> original;
    Outcome outcome = Outcome::skipped;
    // Failed or skipped: why, in one line the user can read (the tool's own words for a
    // complaint).
    QString reason;

    // Only a fix that changed the file is counted and recorded in the day's statistics.
    bool changed() const { return outcome == Outcome::changed; }
    bool superseded() const { return outcome == Outcome::superseded; }

    static FixResult of(Outcome outcome, std::optional<QByteArray> content, QString reason = {})
    {
        return FixResult{std::move(content), std::nullopt, outcome, std::move(reason)};
    }
};

// Formats one source file with its language's tool. Logs what it does; what comes of it is counted
// by whoever handed the file in. `fix` blocks its thread until the tool has finished, and may run
// on several threads at once.
class IFixer
{
public:
    virtual ~IFixer() = default;

    // "Swift", "C++", "Objective-C" or "Kotlin": the name fixes are counted under.
    virtual QString language() const = 0;
    // The tool it runs, as the user knows it ("clang-format"); empty when it runs none.
    virtual QString tool() const { return {}; }
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
