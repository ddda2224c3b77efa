// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/InotifyReturnWatch.h"

#include "core/support/Log.h"

#include <QFile>

#include <cerrno>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Only what can bring a folder of the path back, or take the watched one away.
constexpr std::uint32_t kMask =
    IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
constexpr std::size_t kBufferSize = 4096;

bool isDirectory(const std::string &path)
{
    struct stat info = {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The path itself when it is a directory, else the nearest folder above it that is; empty when
// there is none.
std::string deepestExisting(std::string path)
{
    while (!path.empty() && !isDirectory(path)) {
        const std::size_t slash = path.find_last_of('/');
        if (slash == std::string::npos || path == "/")
            return {};
        path.resize(slash == 0 ? 1 : slash);
    }
    return path;
}

} // namespace

InotifyReturnWatch::InotifyReturnWatch(const QString &path)
    : m_path(QFile::encodeName(path).toStdString())
{}

InotifyReturnWatch::~InotifyReturnWatch()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool InotifyReturnWatch::open()
{
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        Log::line(QStringLiteral("Could not create an inotify instance for ") +
                  QFile::decodeName(m_path.c_str()) + QStringLiteral(": ") +
                  qt_error_string(errno));
        return false;
    }
    m_buffer.resize(kBufferSize);
    return settle() != Place::unwatchable;
}

bool InotifyReturnWatch::hasReturned()
{
    drain();
    return settle() == Place::returned;
}

// The events only say that something changed; settle() looks at the path itself.
void InotifyReturnWatch::drain()
{
    for (;;) {
        const ssize_t length = ::read(m_fd, m_buffer.data(), m_buffer.size());
        if (length <= 0 && !(length < 0 && errno == EINTR))
            return;
    }
}

// Watches the deepest existing folder of the path, until a look after the watch is in place
// finds nothing deeper: whatever appears from then on is an event.
InotifyReturnWatch::Place InotifyReturnWatch::settle()
{
    for (;;) {
        const std::string folder = deepestExisting(m_path);
        if (folder == m_path)
            return Place::returned;
        if (folder.empty())
            return Place::unwatchable;
        const int wd = inotify_add_watch(m_fd, folder.c_str(), kMask);
        if (wd < 0) {
            if (errno == ENOENT || errno == ENOTDIR)
                continue; // gone since it was looked at
            Log::line(QStringLiteral("Could not watch ") + QFile::decodeName(folder.c_str()) +
                      QStringLiteral(": ") + qt_error_string(errno));
            return Place::unwatchable;
        }
        if (m_wd >= 0 && m_wd != wd)
            inotify_rm_watch(m_fd, m_wd);
        m_wd = wd;
        if (deepestExisting(m_path) == folder)
            return Place::waiting;
    }
}
