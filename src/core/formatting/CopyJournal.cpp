// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/CopyJournal.h"

#include "core/support/PrivateCopyNames.h"
#include "core/support/SprucerLogger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

namespace {

const QString kLockName = QStringLiteral("lock");

// Only a folder named like a copy folder is ever removed, whatever a note says.
bool removeCopyDirectory(const QString &path)
{
    const QFileInfo info(path);
    if (!PrivateCopyNames::isCopyDirectory(info.fileName()) || info.isSymLink() || !info.isDir())
        return false;
    return QDir(path).removeRecursively();
}

} // namespace

CopyJournal::CopyJournal(QString root)
    : m_root(std::move(root))
    , m_folder(m_root + u'/' + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    QDir().mkpath(m_folder);
    m_lock = std::make_unique<QLockFile>(m_folder + u'/' + kLockName);
    m_lock->setStaleLockTime(0); // stale only when its process is gone, however old
    // Unlocked notes could be swept by another process while their copies are in use, so
    // without the lock nothing is noted: a crash's copies then stay, and the log says so.
    m_locked = m_lock->tryLock(0);
    if (!m_locked) {
        SprucerLogger::shared().log(QStringLiteral("Could not lock ") + m_folder +
                                    QStringLiteral(": private copies left by a crash will not be "
                                                   "found at the next start"));
    }
}

CopyJournal::~CopyJournal()
{
    m_lock->unlock();
    QDir(m_folder).removeRecursively();
}

QString CopyJournal::remember(const QString &copyDirectory)
{
    if (!m_locked)
        return QString();
    const QString note = m_folder + u'/' + QString::number(++m_lastNote);
    QFile file(note);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        file.write(QFile::encodeName(copyDirectory)) < 0) {
        file.remove();
        return QString();
    }
    return note;
}

void CopyJournal::forget(const QString &note)
{
    if (!note.isEmpty())
        QFile::remove(note);
}

int CopyJournal::sweepLeftovers()
{
    int removed = 0;
    const QFileInfoList folders = QDir(m_root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo &folder : folders) {
        if (folder.absoluteFilePath() == QFileInfo(m_folder).absoluteFilePath())
            continue;
        QLockFile lock(folder.absoluteFilePath() + u'/' + kLockName);
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0))
            continue; // its process still runs
        const QFileInfoList notes = QDir(folder.absoluteFilePath()).entryInfoList(QDir::Files);
        for (const QFileInfo &note : notes) {
            QFile file(note.absoluteFilePath());
            if (note.fileName() == kLockName || !file.open(QIODevice::ReadOnly))
                continue;
            const QString copy = QFile::decodeName(file.readAll());
            if (removeCopyDirectory(copy)) {
                ++removed;
                SprucerLogger::shared().log(QStringLiteral("Removed a leftover private copy: ") +
                                            copy);
            }
        }
        lock.unlock();
        QDir(folder.absoluteFilePath()).removeRecursively();
    }
    return removed;
}
