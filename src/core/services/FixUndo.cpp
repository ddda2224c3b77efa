// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/services/FixUndo.h"

#include "core/formatting/FileCoordinator.h"
#include "core/formatting/ToolFixer.h"
#include "core/support/Log.h"
#include "core/support/PosixFiles.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <unistd.h>

namespace {

QString nameOf(const QString &path)
{
    return QFileInfo(path).fileName();
}

// A file with several links keeps them: it is written in place. Any other is replaced whole, so
// a crash leaves either version, never a mix.
bool replace(const QString &path, const QByteArray &bytes)
{
    struct stat info = {};
    const QByteArray local = QFile::encodeName(path);
    if (::lstat(local.constData(), &info) == 0 && info.st_nlink > 1) {
        const int fd = ::open(local.constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
        const bool ok = fd >= 0 && PosixFiles::writeAllAt(fd, bytes) &&
                        ::ftruncate(fd, bytes.size()) == 0 && ::fsync(fd) == 0;
        if (fd >= 0)
            ::close(fd);
        return ok;
    }
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

QString FixUndo::RunOutcome::summary() const
{
    return QStringLiteral("%1 put back · %2 changed since · %3 failed")
        .arg(undone)
        .arg(changedSince)
        .arg(failed);
}

FixUndo::FixUndo(FixJournal &journal, FileCoordinator *coordinator)
    : m_journal(journal)
    , m_coordinator(coordinator)
{}

FixUndo::Outcome FixUndo::undo(quint64 id)
{
    const std::optional<FixRecord> fix = m_journal.find(id);
    if (!fix || fix->kind != FixRecord::Kind::fix)
        return {Status::unknown, QStringLiteral("No fix in the history has the id %1").arg(id)};
    if (fix->undone())
        return {
            Status::changedSince,
            QStringLiteral("The fix %1 of %2 was undone already").arg(id).arg(nameOf(fix->path))};
    const std::optional<QByteArray> before = m_journal.contentBefore(id);
    if (!before)
        return {Status::failed,
                QStringLiteral("The content of %1 before the fix cannot be read from the history")
                    .arg(nameOf(fix->path))};
    if (!m_coordinator)
        return putBack(*fix, *before);
    Outcome outcome{Status::failed, {}};
    m_coordinator->coordinate(fix->path, [&](const std::optional<Error> &error) {
        outcome = error ? Outcome{Status::failed, error->description} : putBack(*fix, *before);
    });
    return outcome;
}

FixUndo::Outcome FixUndo::putBack(const FixRecord &fix, const QByteArray &before)
{
    QByteArray now;
    const bool read =
        PosixFiles::readRegular(QFile::encodeName(fix.path).constData(), ToolFixer::sizeLimit, now);
    if (!read || QCryptographicHash::hash(now, QCryptographicHash::Sha256) != fix.digestAfter)
        return {Status::changedSince,
                QStringLiteral("%1 has changed since the fix; nothing was undone")
                    .arg(nameOf(fix.path))};
    // Before the write, which the watcher reports like a save.
    m_journal.leaveAlone(fix.path, fix.digestBefore);
    if (!replace(fix.path, before)) {
        m_journal.forget(fix.path);
        return {
            Status::failed,
            QStringLiteral("%1 could not be written; nothing was undone").arg(nameOf(fix.path))};
    }
    const Result<FixRecord> noted = m_journal.recordUndo(fix);
    if (!noted)
        Log::line(QStringLiteral("The undo of ") + fix.path +
                  QStringLiteral(" is not in the history: ") + noted.error().description);
    Log::line(QStringLiteral("Undid the fix of ") + fix.path);
    return {Status::undone,
            QStringLiteral("%1 is back as it was before the fix").arg(nameOf(fix.path))};
}

FixUndo::RunOutcome FixUndo::undoRun(const QString &run)
{
    RunOutcome outcome;
    if (run.isEmpty())
        return outcome;
    for (const FixRecord &fix : m_journal.fixes()) {
        if (fix.run != run || fix.undone())
            continue;
        const Outcome one = undo(fix.id);
        switch (one.status) {
        case Status::undone:
            ++outcome.undone;
            continue;
        case Status::changedSince:
            ++outcome.changedSince;
            break;
        case Status::unknown:
        case Status::failed:
            ++outcome.failed;
            break;
        }
        outcome.notUndone.append(one.message);
    }
    return outcome;
}
