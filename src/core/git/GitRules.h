// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/git/GitWorkTrees.h"
#include "core/git/WatcherGitOptions.h"

#include <QByteArray>
#include <QStringList>
#include <QUuid>

#include <optional>

class UserDefaults;

// What each watcher's git options mean for its files: which it leaves alone, and against which
// version it tells the lines the user changed. Any thread.
class GitRules
{
public:
    explicit GitRules(UserDefaults &settings);

    WatcherGitOptions &options() { return m_options; }
    GitWorkTrees &workTrees() { return m_workTrees; }

    // Whether the watcher leaves the file alone: one git ignores, when it respects that, and
    // whatever lies in a repository's own folder.
    bool leavesOut(const QUuid &watcherId, const QString &path);
    // `paths` less those the watcher leaves alone, its options read once.
    QStringList kept(const QUuid &watcherId, const QStringList &paths);
    // For a watcher that formats only changed lines: HEAD's version of the file. Nothing when
    // the whole file is to be formatted (option off, not in git, untracked, or a state of the
    // repository that leaves HEAD's version unusable, which is logged once).
    std::optional<QByteArray> baseline(const QUuid &watcherId, const QString &path);

    static bool isInGitFolder(const QString &path);

private:
    bool ignored(const QString &path);

    WatcherGitOptions m_options;
    GitWorkTrees m_workTrees;
};
