// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/git/GitRepository.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <memory>
#include <mutex>

// The repositories the program's files live in, each opened once and kept: opening one reads
// its configuration and references, which a save should not pay for. Any thread.
class GitWorkTrees
{
public:
    // A file's repository, or why its rules cannot apply.
    struct Found
    {
        std::shared_ptr<GitRepository> repository; // null: see `reason`
        QString reason; // empty when the file is simply not in a repository
    };

    GitWorkTrees();
    ~GitWorkTrees();
    GitWorkTrees(const GitWorkTrees &) = delete;
    GitWorkTrees &operator=(const GitWorkTrees &) = delete;

    // The repository whose work tree holds the file (or folder) at `path`.
    Found find(const QString &path);

    // Logs that the files under `where` are formatted whole, and why, the first time only.
    void noteFallback(const QString &where, const QString &reason);

private:
    std::mutex m_mutex;
    QHash<QString, std::shared_ptr<GitRepository>> m_opened; // by the repository's git folder
    QSet<QString> m_noted;
};
