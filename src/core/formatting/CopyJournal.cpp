// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/CopyJournal.h"

#include "core/support/Log.h"
#include "core/support/PrivateCopyNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <sys/stat.h>

namespace {

const QString kLockName = QStringLiteral("lock");

void logRemoved(const QString &copy)
{
    Log::line(QStringLiteral("Removed a leftover private copy: ") + copy);
}

// Only a folder named like a copy folder is ever removed, whatever a note says.
bool removeCopyDirectory(const QString &path)
{
    const QFileInfo info(path);
    if (!PrivateCopyNames::isCopyDirectory(info.fileName()) || info.isSymLink() || !info.isDir())
        return false;
    return QDir(path).removeRecursively();
}

// Like mkpath, but what it makes only the user may enter: the copies hold the user's sources.
bool makePrivatePath(const QString &path)
{
    if (QFileInfo(path).isDir())
        return true;
    const QString parent = QFileInfo(path).path();
    if (parent == path || !makePrivatePath(parent))
        return false;
    return ::mkdir(QFile::encodeName(path).constData(), 0700) == 0 || errno == EEXIST;
}

} // namespace

CopyJournal::CopyJournal(QString root, QString copiesRoot, std::chrono::milliseconds sweepInterval)
    : m_root(std::move(root))
    , m_name(QUuid::createUuid().toString(QUuid::WithoutBraces))
    , m_folder(m_root + u'/' + m_name)
    , m_copiesRoot(std::move(copiesRoot))
    , m_sweepInterval(sweepInterval)
{
    m_clock.start();
    QDir().mkpath(m_folder);
    m_lock = std::make_unique<QLockFile>(m_folder + u'/' + kLockName);
    m_lock->setStaleLockTime(0); // stale only when its process is gone, however old
    // Unlocked notes could be swept by another process while their copies are in use, so
    // without the lock nothing is noted: a crash's copies then stay, and the log says so.
    m_locked = m_lock->tryLock(0);
    if (!m_locked) {
        Log::line(QStringLiteral("Could not lock ") + m_folder +
                  QStringLiteral(": private copies left by a crash will not be "
                                 "found at the next start"));
    }
}

CopyJournal::~CopyJournal()
{
    if (m_locked && !m_copiesRoot.isEmpty())
        QDir(m_copiesRoot + u'/' + m_name).removeRecursively();
    m_lock->unlock();
    QDir(m_folder).removeRecursively();
}

QString CopyJournal::remember(const QString &copyDirectory)
{
    if (!m_locked)
        return {};
    QString note = m_folder + u'/' + QString::number(++m_lastNote);
    QFile file(note);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        file.write(QFile::encodeName(copyDirectory)) < 0) {
        file.remove();
        return {};
    }
    return note;
}

void CopyJournal::forget(const QString &note)
{
    if (!note.isEmpty())
        QFile::remove(note);
}

QString CopyJournal::outOfTreeFolder() const
{
    if (!m_locked || m_copiesRoot.isEmpty())
        return {};
    const QString folder = m_copiesRoot + u'/' + m_name;
    return makePrivatePath(folder) ? folder : QString();
}

int CopyJournal::sweepIfDue()
{
    const qint64 now = m_clock.elapsed();
    const qint64 last = m_lastSweep.loadAcquire();
    if (now - last < m_sweepInterval.count() || !m_lastSweep.testAndSetOrdered(last, now))
        return 0; // swept lately, or another thread sweeps now
    return sweepLeftovers();
}

int CopyJournal::sweepLeftovers()
{
    int removed = 0;
    const QFileInfoList folders = QDir(m_root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo &folder : folders) {
        if (folder.fileName() != m_name)
            removed += sweepIfGone(folder.fileName());
    }
    return removed + removeOrphanedCopies();
}

int CopyJournal::sweepIfGone(const QString &name) const
{
    const QString notesFolder = m_root + u'/' + name;
    // No lock file yet: a process that is just starting, not one that is gone.
    const QString lockPath = notesFolder + u'/' + kLockName;
    if (!QFileInfo::exists(lockPath))
        return 0;
    QLockFile lock(lockPath);
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0))
        return 0; // its process still runs, or another one sweeps it
    const int removed = removeNotedCopies(notesFolder) + removeOutOfTreeCopies(name);
    lock.unlock();
    QDir(notesFolder).removeRecursively();
    return removed;
}

int CopyJournal::removeNotedCopies(const QString &notesFolder) const
{
    int removed = 0;
    const QFileInfoList notes = QDir(notesFolder).entryInfoList(QDir::Files);
    for (const QFileInfo &note : notes) {
        QFile file(note.absoluteFilePath());
        if (note.fileName() == kLockName || !file.open(QIODevice::ReadOnly))
            continue;
        const QString copy = QFile::decodeName(file.readAll());
        if (removeCopyDirectory(copy)) {
            ++removed;
            logRemoved(copy);
        }
    }
    return removed;
}

int CopyJournal::removeOutOfTreeCopies(const QString &name) const
{
    if (m_copiesRoot.isEmpty() || name.isEmpty() || name == m_name)
        return 0;
    const QString folder = m_copiesRoot + u'/' + name;
    const QFileInfo info(folder);
    if (info.isSymLink() || !info.isDir())
        return 0;
    int removed = 0;
    const QFileInfoList copies =
        QDir(folder).entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo &copy : copies) {
        if (removeCopyDirectory(copy.absoluteFilePath())) {
            ++removed;
            logRemoved(copy.absoluteFilePath());
        }
    }
    QDir(folder).removeRecursively();
    return removed;
}

// Copies outside the trees whose process has no notes folder: a sweep that stopped half way,
// or notes the user deleted. A live process makes its notes before its first copy.
int CopyJournal::removeOrphanedCopies() const
{
    if (m_copiesRoot.isEmpty())
        return 0;
    int removed = 0;
    const QStringList names = QDir(m_copiesRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (!QFileInfo::exists(m_root + u'/' + name))
            removed += removeOutOfTreeCopies(name);
    }
    return removed;
}
