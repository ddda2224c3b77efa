// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <optional>

struct git_repository;

// One opened repository with a work tree, read through libgit2. Paths are absolute local paths
// inside its work tree. Every call may come from any thread; calls take turns, since libgit2's
// objects of one repository are not to be used by two threads at once.
class GitRepository
{
public:
    // What the last commit holds of a file.
    struct Baseline
    {
        enum class State
        {
            committed,   // `content` is the file as HEAD holds it, as it would be checked out
            untracked,   // git knows nothing of the file
            unavailable, // known to git, but HEAD's version cannot stand for it; see `reason`
        };
        State state = State::unavailable;
        QByteArray content;
        QString reason;
        bool ofRepository = false; // the reason holds for every file of the repository
    };

    // Takes ownership of `repository`, which has a work tree.
    explicit GitRepository(git_repository *repository);
    ~GitRepository();
    GitRepository(const GitRepository &) = delete;
    GitRepository &operator=(const GitRepository &) = delete;

    // With its trailing '/'.
    QString workTree() const { return m_workTree; }

    Baseline headContent(const QString &path);
    // Ignored by the repository's rules and not tracked: git status would not list it.
    bool isIgnored(const QString &path);
    // Files whose staged content differs from HEAD's (added, changed, renamed), absolute.
    QStringList stagedFiles();
    // What the index holds of a file; absent when it holds nothing.
    std::optional<QByteArray> stagedContent(const QString &path);

private:
    // The path relative to the work tree, as git names it; empty when outside it.
    QByteArray relative(const QString &path) const;
    bool inIndex(const QByteArray &relativePath);

    git_repository *m_repository;
    QString m_workTree;
    bool m_submodule;
    std::mutex m_mutex;
};
