// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/support/Error.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// Keeps two writers of one file from overlapping: an in-process lock per file path. The action
// runs on the calling thread while the lock is held; callers of other files never wait.
// Any thread; the application shares the one instance `CoreServices` makes.
class FileCoordinator
{
public:
    // Receives the coordination error, or nothing when access was granted.
    using Action = std::function<void(const std::optional<Error> &error)>;
    // Receives one entry per path, in order.
    using GroupAction = std::function<void(const QList<std::optional<Error>> &errors)>;

    // Runs `action` exactly once: inside the lock of the file, or at once with the reason
    // when `filePath` is not an absolute path.
    void coordinate(const QString &filePath, const Action &action);
    // The same for several files at once, all locked while `action` runs. The locks are taken
    // in one order, so two groups that share files never wait on each other for good.
    void coordinateAll(const QStringList &filePaths, const GroupAction &action);

    // Paths locked or waited for right now; entries go away with their last user.
    qsizetype activePathCount() const;

private:
    struct Entry
    {
        QMutex mutex;
        int users = 0;
    };

    Entry *acquire(const QString &key);
    void release(const QString &key, Entry *entry);

    mutable QMutex m_mutex;
    QHash<QString, std::shared_ptr<Entry>> m_entries;
};
