// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/FileCoordinator.h"

#include "core/support/LocalPath.h"

#include <QDir>
#include <QFile>
#include <QMutexLocker>
#include <QScopeGuard>

#include <sys/stat.h>
#include <vector>

namespace {

std::optional<Error> refusal(const QString &filePath)
{
    // A relative or empty path would be taken relative to the working directory, and some
    // tools given an empty path format every file there.
    if (!QDir::isAbsolutePath(filePath)) {
        return Error{QStringLiteral("FileCoordinator"), 1,
                     QStringLiteral("\"%1\" is not an absolute path.").arg(filePath)};
    }
    return std::nullopt;
}

QString lockKey(const QString &filePath)
{
    // Two links to one file, hard or symbolic, share its lock.
    struct stat info = {};
    if (::stat(QFile::encodeName(filePath).constData(), &info) == 0)
        return QStringLiteral("%1:%2").arg(quint64(info.st_dev)).arg(quint64(info.st_ino));
    return LocalPath::normalized(filePath);
}

} // namespace

void FileCoordinator::coordinate(const QString &filePath, const Action &action)
{
    coordinateAll({filePath},
                  [&](const QList<std::optional<Error>> &errors) { action(errors.first()); });
}

void FileCoordinator::coordinateAll(const QStringList &filePaths, const GroupAction &action)
{
    QList<std::optional<Error>> errors;
    QStringList keys;
    for (const QString &path : filePaths) {
        errors.append(refusal(path));
        if (!errors.last())
            keys.append(lockKey(path));
    }
    // Sorted and once each: a file named twice, or by two links, is locked once.
    keys.sort();
    keys.removeDuplicates();
    std::vector<Entry *> held;
    // Released even if the action throws, so a file is never locked for good.
    const auto unlock = qScopeGuard([&] {
        for (std::size_t i = held.size(); i-- > 0;) {
            held[i]->mutex.unlock();
            release(keys[qsizetype(i)], held[i]);
        }
    });
    for (const QString &key : std::as_const(keys)) {
        held.push_back(acquire(key));
        held.back()->mutex.lock();
    }
    action(errors);
}

FileCoordinator::Entry *FileCoordinator::acquire(const QString &key)
{
    QMutexLocker locker(&m_mutex);
    std::shared_ptr<Entry> &entry = m_entries[key];
    if (!entry)
        entry = std::make_shared<Entry>();
    ++entry->users;
    return entry.get();
}

void FileCoordinator::release(const QString &key, Entry *entry)
{
    QMutexLocker locker(&m_mutex);
    if (--entry->users == 0)
        m_entries.remove(key);
}

qsizetype FileCoordinator::activePathCount() const
{
    QMutexLocker locker(&m_mutex);
    return m_entries.size();
}
