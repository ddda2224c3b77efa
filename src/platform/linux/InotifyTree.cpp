// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/InotifyTree.h"

#include "core/support/Log.h"
#include "core/support/PrivateCopyNames.h"
#include "core/support/TreeWalk.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// IN_CLOSE_WRITE rather than IN_MODIFY: a save is reported once its writer is done.
constexpr std::uint32_t kDirectoryMask = IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO |
                                         IN_DELETE | IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK |
                                         IN_MASK_ADD;
// The root may itself be a link to the directory the user chose.
constexpr std::uint32_t kRootMask = IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO |
                                    IN_DELETE | IN_ONLYDIR | IN_EXCL_UNLINK | IN_DELETE_SELF |
                                    IN_MOVE_SELF;
constexpr std::size_t kBufferSize = std::size_t{64} * 1024;
constexpr int kReadsPerCall = 16;

QString decoded(const std::string &path)
{
    return QFile::decodeName(path.c_str());
}

void log(const QString &line)
{
    Log::line(line);
}

std::string joined(const std::string &directory, const std::string &name)
{
    std::string path;
    path.reserve(directory.size() + 1 + name.size());
    path += directory;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    return path;
}

// The clock the kernel stamps files with, so a change read after `now` is never stamped before it.
timespec coarseNow()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now;
}

timespec minus(timespec time, std::chrono::milliseconds amount)
{
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(amount).count();
    time.tv_sec -= static_cast<time_t>(ns / 1'000'000'000);
    time.tv_nsec -= static_cast<long>(ns % 1'000'000'000);
    if (time.tv_nsec < 0) {
        time.tv_nsec += 1'000'000'000;
        --time.tv_sec;
    }
    return time;
}

bool isBefore(const timespec &a, const timespec &b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

QString timeText(const timespec &time)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(time.tv_sec) * 1000 + time.tv_nsec / 1'000'000)
        .toString(Qt::ISODateWithMs);
}

// A hard link made to an existing file: no writer's close will follow its creation.
bool isNewHardLink(const std::string &path)
{
    struct stat info = {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink > 1;
}

} // namespace

InotifyTree::InotifyTree(const QString &root, std::chrono::milliseconds timestampSlack)
    : m_root(QFile::encodeName(root).toStdString())
    , m_slack(timestampSlack)
{}

InotifyTree::~InotifyTree()
{
    // Closing the instance drops every watch at once.
    if (m_fd >= 0)
        ::close(m_fd);
}

bool InotifyTree::open()
{
    // Anything that happens from here on is either read as an event or found by an overflow walk.
    m_caughtUp = coarseNow();
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        // EMFILE: fs.inotify.max_user_instances is used up by other programs.
        log(QStringLiteral("Could not create an inotify instance for ") + decoded(m_root) +
            QStringLiteral(": ") + qt_error_string(errno));
        return false;
    }
    m_rootWd = inotify_add_watch(m_fd, m_root.c_str(), kRootMask);
    if (m_rootWd < 0) {
        log(QStringLiteral("Could not watch ") + decoded(m_root) + QStringLiteral(": ") +
            qt_error_string(errno));
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    m_dirs.emplace(m_rootWd, Dir{-1, m_root});
    // Not zeroed: a watcher that sees few events never touches most of it.
    m_buffer = std::make_unique_for_overwrite<char[]>(kBufferSize);
    return true;
}

void InotifyTree::watchTree(const std::atomic_bool &cancel)
{
    m_cancel = &cancel;
    WalkState state;
    QStringList nothingReported;
    walk(m_root, {m_rootWd, Report::nothing}, state, nothingReported);
}

bool InotifyTree::cancelled() const
{
    return m_cancel && m_cancel->load(std::memory_order_relaxed);
}

// Each directory is watched before it is listed: whatever appears in it after the listing is
// an event.
void InotifyTree::walk(const std::string &top, Place place, WalkState &state, QStringList &found)
{
    if (state.reconcile)
        state.seen.insert(place.wd);
    TreeWalk::Options options;
    options.followRootLink = place.wd == m_rootWd;
    options.cancel = m_cancel;
    options.onFailure = [](const std::string &path, int error, TreeWalk::Failure failure) {
        if (failure == TreeWalk::Failure::unlistable && error == EACCES)
            log(QStringLiteral("Skipped unreadable directory ") + decoded(path));
    };
    TreeWalk::run(
        top, place, options,
        [&](const Place &parent, const std::string &path, std::string_view name) {
            return enter(parent, path, name, state);
        },
        [&](const Place &directory, std::string path, std::string_view) {
            reportFile(directory.report, std::move(path), state, found);
        });
    reportWatchLimit(state);
}

std::optional<InotifyTree::Place> InotifyTree::enter(const Place &parent, const std::string &path,
                                                     std::string_view name, WalkState &state)
{
    const int wd = addWatch(path, state);
    if (wd < 0)
        return std::nullopt;
    const bool known = m_dirs.contains(wd);
    if (!adopt(wd, parent.wd, std::string(name)))
        return std::nullopt;
    if (state.reconcile)
        state.seen.insert(wd);
    // Every file of a directory new to us is news, whatever its times say.
    const Report report =
        parent.report == Report::changedFiles && !known ? Report::allFiles : parent.report;
    return Place{wd, report};
}

void InotifyTree::reportFile(Report report, std::string path, const WalkState &state,
                             QStringList &found) const
{
    if (report == Report::nothing)
        return;
    if (report == Report::changedFiles) {
        struct stat info = {};
        // The status-change time moves with every write and every rename, so a file renamed
        // over during the lost events is found too.
        if (::lstat(path.c_str(), &info) != 0 || isBefore(info.st_ctim, state.since))
            return;
    }
    found.append(decoded(path));
}

int InotifyTree::addWatch(const std::string &path, WalkState &state) const
{
    const int wd = inotify_add_watch(m_fd, path.c_str(), kDirectoryMask);
    if (wd >= 0)
        return wd;
    const int error = errno;
    switch (error) {
    case ENOSPC:
        if (state.overLimit++ == 0)
            state.firstOverLimit = path;
        break;
    case EACCES:
    case EPERM:
        log(QStringLiteral("Skipped unreadable directory ") + decoded(path));
        break;
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
        break; // gone, or replaced by a file or a link, since its parent was listed
    default:
        log(QStringLiteral("Could not watch ") + decoded(path) + QStringLiteral(": ") +
            qt_error_string(error));
        break;
    }
    return -1;
}

void InotifyTree::reportWatchLimit(const WalkState &state) const
{
    if (state.overLimit == 0)
        return;
    QFile limitFile(QStringLiteral("/proc/sys/fs/inotify/max_user_watches"));
    QString limit = QStringLiteral("?");
    if (limitFile.open(QIODevice::ReadOnly))
        limit = QString::fromLatin1(limitFile.readAll().trimmed());
    QString line = QStringLiteral("Could not watch ") + decoded(state.firstOverLimit) +
                   QStringLiteral(": the inotify watch limit is reached "
                                  "(fs.inotify.max_user_watches = ") +
                   limit + QStringLiteral("); raise it to watch the whole tree");
    if (state.overLimit > 1)
        line += QStringLiteral(" (%1 more directories not watched)").arg(state.overLimit - 1);
    log(line);
}

bool InotifyTree::adopt(int wd, int parent, const std::string &name)
{
    // The same directory met again below itself (a bind mount): following it would never end.
    if (isAncestor(wd, parent))
        return false;
    m_dirs.insert_or_assign(wd, Dir{parent, name});
    return true;
}

bool InotifyTree::isAncestor(int ancestor, int wd) const
{
    for (std::size_t steps = 0; wd != -1 && steps <= m_dirs.size(); ++steps) {
        if (wd == ancestor)
            return true;
        const auto it = m_dirs.find(wd);
        if (it == m_dirs.end())
            return false;
        wd = it->second.parent;
    }
    return false;
}

int InotifyTree::childNamed(int parent, const std::string &name) const
{
    for (const auto &[wd, dir] : m_dirs) {
        if (dir.parent == parent && dir.name == name)
            return wd;
    }
    return -1;
}

std::string InotifyTree::pathOf(int wd) const
{
    std::vector<const std::string *> names;
    while (wd != -1) {
        const auto it = m_dirs.find(wd);
        if (it == m_dirs.end() || names.size() > m_dirs.size())
            return {};
        names.push_back(&it->second.name);
        wd = it->second.parent;
    }
    std::string path = *names.back();
    for (auto it = names.rbegin() + 1; it != names.rend(); ++it)
        path = joined(path, **it);
    return path;
}

TreeEventSource::Events InotifyTree::readEvents()
{
    Events out;
    // A flood of events must not keep the watch queue from delivering: read a bounded amount and
    // come back when the descriptor is still readable.
    for (int round = 0; round < kReadsPerCall && !m_ended && m_fd >= 0; ++round) {
        const timespec beforeRead = coarseNow();
        const ssize_t length = ::read(m_fd, m_buffer.get(), kBufferSize);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0) {
            if (length < 0 && errno == EAGAIN) {
                m_caughtUp = beforeRead;
                // Both halves of a rename are queued together, so a directory whose new name has
                // not come by now went out of the tree.
                settleMoves();
            }
            break;
        }
        for (ssize_t offset = 0; offset < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(m_buffer.get() + offset);
            handle(*event, out);
            if (out.end != End::none) {
                m_ended = true;
                return out;
            }
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    if (m_overflowed && !m_ended)
        recoverFromOverflow(out);
    return out;
}

void InotifyTree::handle(const inotify_event &event, Events &out)
{
    const std::uint32_t mask = event.mask;
    if (mask & IN_Q_OVERFLOW) {
        if (!m_overflowed)
            m_lostSince = m_caughtUp;
        m_overflowed = true;
        return;
    }
    if (event.wd == m_rootWd) {
        if (mask & IN_UNMOUNT) {
            out.end = End::unmounted;
            return;
        }
        if (mask & IN_MOVE_SELF) {
            out.end = End::moved;
            return;
        }
        if (mask & (IN_DELETE_SELF | IN_IGNORED)) {
            out.end = End::deleted;
            return;
        }
    }
    if (mask & IN_IGNORED) {
        m_dirs.erase(event.wd);
        return;
    }
    if (event.len == 0 || !m_dirs.contains(event.wd))
        return;
    const std::string directory = pathOf(event.wd);
    if (directory.empty())
        return;
    const std::string name(event.name);
    const std::string path = joined(directory, name);
    // A file being formatted is copied into such a folder, beside it; that is no change of ours.
    if ((mask & IN_ISDIR) && PrivateCopyNames::isCopyDirectory(name))
        return;

    if (!(mask & IN_ISDIR)) {
        if ((mask & (IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE)) ||
            ((mask & IN_CREATE) && isNewHardLink(path)))
            out.paths.append(decoded(path));
        return;
    }

    out.paths.append(decoded(path));
    if (mask & IN_CREATE) {
        // Files may already be inside: written before the watch was in place, or made by a
        // tool that fills a directory faster than events are read.
        watchNewDirectory(path, event.wd, name, Report::allFiles, out.paths);
    } else if (mask & IN_MOVED_FROM) {
        m_movedAway.push_back({event.cookie, childNamed(event.wd, name)});
    } else if (mask & IN_MOVED_TO) {
        const auto match =
            std::find_if(m_movedAway.begin(), m_movedAway.end(),
                         [&](const MovedAway &m) { return m.cookie == event.cookie; });
        if (match == m_movedAway.end()) {
            // Moved in from elsewhere: its files are new to this tree.
            watchNewDirectory(path, event.wd, name, Report::allFiles, out.paths);
            return;
        }
        const int moved = match->wd;
        m_movedAway.erase(match);
        // Renamed inside the tree: its watches stay, and its unchanged files are not reported.
        if (moved >= 0 && m_dirs.contains(moved) && adopt(moved, event.wd, name))
            return;
        watchNewDirectory(path, event.wd, name, Report::nothing, out.paths);
    }
}

void InotifyTree::watchNewDirectory(const std::string &path, int parent, const std::string &name,
                                    Report report, QStringList &found)
{
    WalkState state;
    if (const std::optional<Place> place = enter({parent, report}, path, name, state))
        walk(path, *place, state, found);
    else
        reportWatchLimit(state);
}

void InotifyTree::settleMoves()
{
    std::unordered_set<int> tops;
    for (const MovedAway &moved : m_movedAway) {
        if (moved.wd >= 0 && moved.wd != m_rootWd)
            tops.insert(moved.wd);
    }
    m_movedAway.clear();
    if (!tops.empty())
        forget(tops);
}

// Unwatches whole subtrees: a directory moved out keeps its watches (and its events) otherwise.
void InotifyTree::forget(const std::unordered_set<int> &tops)
{
    std::vector<int> doomed;
    for (const auto &[wd, dir] : m_dirs) {
        if (wd == m_rootWd)
            continue;
        int up = wd;
        for (std::size_t steps = 0; up != -1 && steps <= m_dirs.size(); ++steps) {
            if (tops.contains(up)) {
                doomed.push_back(wd);
                break;
            }
            const auto it = m_dirs.find(up);
            if (it == m_dirs.end())
                break;
            up = it->second.parent;
        }
    }
    for (const int wd : doomed) {
        inotify_rm_watch(m_fd, wd);
        m_dirs.erase(wd);
    }
}

// Events after the overflow are gone. Walk the tree again: watch what is not watched, forget what
// is no longer there, and report the files changed since the queue was last known complete,
// rather than every file, so unchanged files are not formatted again because of it.
void InotifyTree::recoverFromOverflow(Events &out)
{
    m_overflowed = false;
    const timespec since = minus(m_lostSince, m_slack);
    log(QStringLiteral("Too many file changes at once in ") + decoded(m_root) +
        QStringLiteral(": the inotify event queue overflowed; looking again for files changed "
                       "since ") +
        timeText(since));
    settleMoves();

    const int rootWd = inotify_add_watch(m_fd, m_root.c_str(), kRootMask);
    if (rootWd != m_rootWd) {
        // The root was replaced or removed while its own events were being lost.
        if (rootWd >= 0)
            inotify_rm_watch(m_fd, rootWd);
        out.end = End::deleted;
        m_ended = true;
        return;
    }
    WalkState state;
    state.since = since;
    state.reconcile = true;
    walk(m_root, {m_rootWd, Report::changedFiles}, state, out.paths);
    if (cancelled())
        return;
    std::vector<int> gone;
    for (const auto &entry : m_dirs) {
        if (!state.seen.contains(entry.first))
            gone.push_back(entry.first);
    }
    for (const int wd : gone) {
        inotify_rm_watch(m_fd, wd);
        m_dirs.erase(wd);
    }
}
