// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/PosixFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace PosixFiles {

int openRegular(const char *path, struct stat &info)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        // A socket refuses to open, a link is refused by O_NOFOLLOW: told as what they are.
        const int error = errno;
        errno = ::lstat(path, &info) == 0 && !S_ISREG(info.st_mode) ? EINVAL : error;
        return -1;
    }
    const bool known = ::fstat(fd, &info) == 0;
    if (known && S_ISREG(info.st_mode))
        return fd;
    const int error = known ? EINVAL : errno;
    ::close(fd);
    errno = error;
    return -1;
}

bool readRegular(const char *path, qint64 limit, QByteArray &bytes)
{
    struct stat info = {};
    const int fd = openRegular(path, info);
    if (fd < 0)
        return false;
    int error = 0;
    // One byte past the size tells a file still being written from a whole one.
    if (info.st_size > limit)
        error = EFBIG;
    else if (!readAll(fd, info.st_size + 1, bytes))
        error = errno;
    else if (bytes.size() != info.st_size)
        error = EAGAIN;
    ::close(fd);
    if (error != 0)
        bytes.clear();
    errno = error;
    return error == 0;
}

bool writeAllAt(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote =
            ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), off_t(done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote < 0)
            return false;
        done += wrote;
    }
    return true;
}

bool readAll(int fd, qint64 limit, QByteArray &bytes)
{
    bytes.resize(limit);
    qint64 done = 0;
    while (done < limit) {
        const ssize_t got = ::read(fd, bytes.data() + done, size_t(limit - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        done += got;
    }
    bytes.truncate(done);
    return true;
}

} // namespace PosixFiles
