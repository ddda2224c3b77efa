// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/WriteProbe.h"

#include "core/support/PosixFiles.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace WriteProbe {

namespace {

// A page more than the file holds: a full disk that still takes a few bytes must refuse.
QString whyNoRoomBeside(const QString &filePath)
{
    QByteArray name = QFile::encodeName(QFileInfo(filePath).absolutePath()) + "/.probe-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return qt_error_string(errno);
    ::unlink(name.constData()); // nothing left behind, whatever happens next
    const QByteArray bytes(QFileInfo(filePath).size() + 4096, '\n');
    const bool written = PosixFiles::writeAllAt(fd, bytes) && ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    return written ? QString() : qt_error_string(error);
}

// An immutable or append-only file refuses to be replaced, while its folder takes new files.
QString whyNotReplaceable(const QString &filePath)
{
    if (!QFileInfo::exists(filePath))
        return {};
    const int fd = ::open(QFile::encodeName(filePath).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return qt_error_string(errno);
    ::close(fd);
    return {};
}

} // namespace

QString whyNotWritable(const QString &filePath)
{
    const QString room = whyNoRoomBeside(filePath);
    return room.isEmpty() ? whyNotReplaceable(filePath) : room;
}

} // namespace WriteProbe
