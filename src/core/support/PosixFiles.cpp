// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/PosixFiles.h"

#include <cerrno>
#include <unistd.h>

namespace PosixFiles {

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
