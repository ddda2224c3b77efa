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
    // What the user can act on: a pipe, device or link named like source is never read.
    const QString reason =
        error == EINVAL ? QStringLiteral("not a regular file") : qt_error_string(error);
    return Error{QStringLiteral("SavedFile"), error, path + QStringLiteral(": ") + reason};
}

} // namespace

bool SavedFile::Identity::sameVersion(const Identity &other) const
{
    return device == other.device && inode == other.inode && size == other.size &&
           modifiedNs == other.modifiedNs;
}

Result<SavedFile> SavedFile::read(const QString &path, qint64 sizeLimit)
{
    // Not through a link: replacing the path would replace the link, not its target.
    struct stat info = {};
    const int fd = PosixFiles::openRegular(QFile::encodeName(path).constData(), info);
    if (fd < 0)
        return fileError(path, errno);
    SavedFile file;
    file.m_path = path;
    file.m_identity = identityOf(info);
    int error = 0;
    // One byte more than the size tells a file still being written from a whole one.
    if (info.st_size <= sizeLimit) {
        if (!PosixFiles::readAll(fd, info.st_size + 1, file.m_bytes))
            error = errno;
        else if (file.m_bytes.size() != info.st_size)
            error = EAGAIN;
    }
    ::close(fd);
    if (error != 0)
        return fileError(path, error);
    return file;
}

SavedFile SavedFile::unsaved(const QString &path, QByteArray bytes)
{
    SavedFile file;
    file.m_path = path;
    file.m_bytes = std::move(bytes);
    file.m_identity.size = file.m_bytes.size();
    file.m_identity.mode = 0644;
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
