// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/FixBatching.h"
#include "core/formatting/IFixer.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

class ToolStop;

// Tells which files their formatters would change, writing none: the files are handed to their
// fixers in batches, on as many threads as the watchers' pipeline formats with, and each comes
// back as one record, in the order given. The fixers are made to only check
// (`ToolFixerEnvironment::checkOnly`), with the same `ToolStop` as the options, if any.
//
// `run` blocks its thread until every file is done, or until the stop refuses new runs: the
// batches not yet begun then come back skipped, and those under way end as their tools do.
class FormatCheck
{
public:
    // Files formatted alike: one watcher's, or one configuration's.
    struct Group
    {
        std::shared_ptr<IFixer> fixer; // never null
        QUuid watcherId;               // may be null
        QStringList paths;
    };

    struct Record
    {
        QString path;
        QUuid watcherId;
        FixResult::Outcome outcome = FixResult::Outcome::skipped;
        // Failed or skipped: why, in the tool's own words for a complaint. Otherwise empty.
        QString error;
        // The file as read and as its formatter would leave it: only when the options keep
        // contents, and only for a file that would change.
        std::optional<QByteArray> before;
        std::optional<QByteArray> after;

        bool wouldChange() const { return outcome == FixResult::Outcome::changed; }
    };

    // How many files of the whole check are done; called on any thread, one call at a time.
    using Progress = std::function<void(qsizetype done, qsizetype total)>;

    struct Options
    {
        // For diffs; off, memory holds no more than the batches under way.
        bool keepContents = false;
        ToolStop *stop = nullptr;
        Progress progress;
        int threadCount = FixBatching::workerCount();
        int batchSize = FixBatching::batchSize;
    };

    static QList<Record> run(const QList<Group> &groups, const Options &options);
};
