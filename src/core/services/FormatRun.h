// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/IFixer.h"
#include "core/model/CodeWatcherModel.h"
#include "core/model/FixOutcome.h"
#include "core/watching/RunSummary.h"

#include <QList>
#include <QStringList>

#include <functional>
#include <memory>

class CoreServices;

// Formats files named on the command line through the road of a save: the core's fix pipeline
// (so never over a newer save), counted where the window counts them. Runs the event loop until
// every file has come out, then makes sure the counts are on disk before another process reads
// them. Main thread.
class FormatRun
{
public:
    // Files to format as one watcher would.
    struct Group
    {
        // A watcher of the user's, or one made up for a configuration no watcher uses: with a
        // null id, its fixes count in the day's statistics (by language) but for no watcher.
        CodeWatcherModel watcher;
        std::shared_ptr<IFixer> fixer; // CoreServices::makeFixer(watcher)
        // Relative ones from the working folder; a path named twice is formatted once.
        QStringList paths;
    };

    struct Report
    {
        // One per distinct path, in the order they were given.
        QList<FixOutcome> outcomes;
        RunSummary summary;
        // False when the event loop was told to end (a quit) before every file came out: the
        // outcomes of those files are missing.
        bool complete = true;
        // False when the settings file would not take the counts (they are retried, and kept
        // for the next start at quit, as ever).
        bool countsStored = true;
    };

    // Each time a file handed to the pipeline has come out: `done` of `total`.
    using Progress = std::function<void(qsizetype done, qsizetype total)>;

    explicit FormatRun(CoreServices &services)
        : m_services(services)
    {}

    Report run(const QList<Group> &groups, const Progress &progress = {});

private:
    struct Pending;

    void handOver(const Group &group, Pending &pending);

    CoreServices &m_services;
};
