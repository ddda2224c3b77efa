// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/watching/RunSummary.h"

#include <QMetaType>
#include <QString>

#include <optional>

// What a watcher's row says about it: whether it runs, and if not, why, in words a user can act
// on. A value made by WatcherHealth.
struct WatcherStatus
{
    enum class State
    {
        running,
        switchedOff,          // the user's own switch
        paused,               // every watcher is, by the tray's "Deactivate"
        folderMissing,        // the watched folder is not there
        toolMissing,          // the language's formatter is not installed
        configurationRefused, // the formatter will not take the configuration
        lastRunFailed,        // the last save or "Run Fixers" of the watcher failed
        notWatched,           // a stored watcher that could not be restored for another reason
    };

    State state = State::running;
    // The one line behind a problem: the tool's message, the failed file and why, the folder.
    QString detail;
    std::optional<RunSummary> lastRun; // of the latest "Run Fixers", kept until the next one
    // A problem of a watcher the user has switched on: the tray warns of it.
    bool needsAttention = false;

    bool isProblem() const;
    // "Running", "Configuration refused", …
    QString shortText() const;
    // The whole of it, for the tooltip and screen readers: "Configuration refused:
    // clang-format says: Line 4: unknown enumerated scalar. Last run: 300 checked · …"
    QString description() const;

    friend bool operator==(const WatcherStatus &, const WatcherStatus &) = default;
};

Q_DECLARE_METATYPE(WatcherStatus)
