// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUuid>

#include <mutex>

class UserDefaults;

// How a watcher treats the git repository its files are in.
struct GitOptions
{
    bool changedLinesOnly =
        false; // publish only the tool's changes that touch lines changed since HEAD
    bool respectGitignore = false; // leave alone the files git ignores

    // What a watcher added from now on starts with.
    static GitOptions forNewWatcher() { return {false, true}; }
    bool operator==(const GitOptions &) const = default;
};

// Each watcher's git options, in a stored entry of their own keyed by watcher id, so the stored
// watcher list keeps its form. A watcher without an entry was stored before the options
// existed, and keeps behaving as it did: both off. Any thread.
class WatcherGitOptions
{
public:
    static inline const QString storageKey = QStringLiteral("sprucerWatcherGitOptions");

    explicit WatcherGitOptions(UserDefaults &settings);

    GitOptions of(const QUuid &watcherId) const;
    void set(const QUuid &watcherId, const GitOptions &options);
    // A watcher just added takes the options new watchers have, unless it has some already.
    void adopt(const QUuid &watcherId);
    void forget(const QUuid &watcherId);

private:
    UserDefaults &m_settings;
    mutable std::mutex m_mutex;
};
