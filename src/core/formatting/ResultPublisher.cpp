// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ResultPublisher.h"

#include "core/formatting/SavedFile.h"
#include "core/support/PosixFiles.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ResultPublisher {

namespace {

using Outcome = ResultPublisher::Outcome;

Report failure(const QString &what, int error)
{
    return {Outcome::failed, what + QStringLiteral(": ") + qt_error_string(error)};
}

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// Gives the result file the original's mode and owner and makes sure its bytes are on the disk
// (a full disk shows here at the latest). False in `canTakeOwner` when the owner cannot be set.
int prepareResult(const SavedFile &original, const QString &resultPath, bool &canTakeOwner)
{
    const int fd = ::open(encoded(resultPath).constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return errno;
    const SavedFile::Identity &identity = original.identity();
    int error = 0;
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || ::fchmod(fd, identity.mode & 07777) != 0)
        error = errno;
    canTakeOwner = info.st_uid == identity.owner && info.st_gid == identity.group;
    if (!error && !canTakeOwner)
        canTakeOwner = ::fchown(fd, identity.owner, identity.group) == 0;
    if (!error && ::fdatasync(fd) != 0)
        error = errno;
    ::close(fd);
    return error;
}

// Swaps the two names in one step; false when the file system cannot (then nothing moved).
bool exchange(const QString &a, const QString &b, int &error)
{
#if defined(Q_OS_LINUX)
    if (::renameat2(AT_FDCWD, encoded(a).constData(), AT_FDCWD, encoded(b).constData(),
                    RENAME_EXCHANGE) == 0) {
        return true;
    }
    error = errno;
#else
    error = ENOSYS;
#endif
    return false;
}

Report writeInPlace(const SavedFile &original, const QByteArray &result)
{
    const int fd = ::open(encoded(original.path()).constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return failure(QStringLiteral("Could not open ") + original.path(), errno);
    struct stat info = {};
    Report report{Outcome::published, {}};
    if (::fstat(fd, &info) != 0 || info.st_ino != original.identity().inode ||
        info.st_dev != original.identity().device) {
        report = {Outcome::superseded, {}};
    }
#if defined(Q_OS_LINUX)
    // Reserved first, so a full disk stops us before the first byte changes.
    if (report.outcome == Outcome::published && result.size() > info.st_size &&
        ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(result.size())) != 0 && errno != EOPNOTSUPP) {
        report = failure(QStringLiteral("Could not write ") + original.path(), errno);
    }
#endif
    if (report.outcome == Outcome::published &&
        (!PosixFiles::writeAllAt(fd, result) || ::ftruncate(fd, off_t(result.size())) != 0 ||
         ::fdatasync(fd) != 0)) {
        report = failure(QStringLiteral("Could not write ") + original.path(), errno);
        // Whatever part was written, the version that was read goes back.
        if (PosixFiles::writeAllAt(fd, original.bytes()))
            (void)::ftruncate(fd, off_t(original.bytes().size()));
    }
    ::close(fd);
    return report;
}

Report exchangeWithFile(const SavedFile &original, const QString &resultPath,
                        const QByteArray &result)
{
    int error = 0;
    if (!exchange(resultPath, original.path(), error)) {
        if (error == EINVAL || error == ENOSYS || error == EXDEV || error == EOPNOTSUPP)
            return writeInPlace(original, result);
        return failure(QStringLiteral("Could not replace ") + original.path(), error);
    }
    // What came out must be the version that was read; anything else is a newer save.
    if (original.isHeldAt(resultPath))
        return {Outcome::published, {}};
    if (!exchange(resultPath, original.path(), error))
        (void)std::rename(encoded(resultPath).constData(), encoded(original.path()).constData());
    return {Outcome::superseded, {}};
}

} // namespace

Report publish(const SavedFile &original, const QString &resultPath, const QByteArray &result,
               const std::function<void()> &beforeReplace)
{
    bool canTakeOwner = false;
    if (const int error = prepareResult(original, resultPath, canTakeOwner))
        return failure(QStringLiteral("Could not write the result for ") + original.path(), error);
    if (!original.isUnchanged())
        return {Outcome::superseded, {}};
    if (beforeReplace)
        beforeReplace();
    if (original.identity().links > 1 || !canTakeOwner)
        return writeInPlace(original, result);
    return exchangeWithFile(original, resultPath, result);
}

} // namespace ResultPublisher
