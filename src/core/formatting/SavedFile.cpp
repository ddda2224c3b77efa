// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/SavedFile.h"

#include "core/support/PosixFiles.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype kBinaryProbeBytes = 8192;

SavedFile::Identity identityOf(const struct stat &info)
{
    SavedFile::Identity identity;
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    identity.size = info.st_size;
    identity.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    identity.mode = info.st_mode;
    identity.owner = info.st_uid;
    identity.group = info.st_gid;
    identity.links = info.st_nlink;
    return identity;
}

Error fileError(const QString &path, int error)
{
    return Error{QStringLiteral("SavedFile"), error,
                 path + QStringLiteral(": ") + qt_error_string(error)};
}

} // namespace

bool SavedFile::Identity::sameVersion(const Identity &other) const
{
    return device == other.device && inode == other.inode && size == other.size &&
           modifiedNs == other.modifiedNs;
}

Result<SavedFile> SavedFile::read(const QString &path, qint64 sizeLimit)
{
    const QByteArray encoded = QFile::encodeName(path);
    // Not through a link: replacing the path would replace the link, not its target.
    const int fd = ::open(encoded.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return fileError(path, errno);
    SavedFile file;
    file.m_path = path;
    struct stat info = {};
    bool ok = ::fstat(fd, &info) == 0;
    int error = ok ? 0 : errno;
    if (ok && !S_ISREG(info.st_mode)) {
        ok = false;
        error = EINVAL;
    }
    if (ok) {
        file.m_identity = identityOf(info);
        // One byte more than the size tells a file still being written from a whole one.
        if (info.st_size <= sizeLimit && !PosixFiles::readAll(fd, info.st_size + 1, file.m_bytes)) {
            ok = false;
            error = errno;
        } else if (info.st_size <= sizeLimit && file.m_bytes.size() != info.st_size) {
            ok = false;
            error = EAGAIN;
        }
    }
    ::close(fd);
    if (!ok)
        return fileError(path, error);
    return file;
}

bool SavedFile::looksBinary(const QByteArray &bytes)
{
    return bytes.left(kBinaryProbeBytes).contains('\0');
}

bool SavedFile::isHeldAt(const QString &path) const
{
    const Result<SavedFile> now = read(path, m_identity.size);
    return now && now.value().isWhole() && now.value().m_identity.sameVersion(m_identity) &&
           now.value().m_bytes == m_bytes;
}
