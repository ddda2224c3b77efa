// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/watching/TreeEventSource.h"

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct inotify_event;

// One inotify instance with a watch on every directory of a tree. Directories that appear later
// (created, or moved in with their contents) are watched as they appear and the files already
// inside them reported; directories that are deleted or moved out lose their watches. Symbolic
// links are never followed, except the root itself.
//
// Reported: files written and closed, moved in or out, deleted, and new hard links; every event
// on a directory. A bare creation of a regular file is not reported, because its writer's close
// follows and reporting the creation could get a half-written file formatted.
//
// open() runs on the caller's thread; everything else on the watch queue.
class InotifyTree final : public TreeEventSource
{
public:
    InotifyTree(const QString &root, std::chrono::milliseconds timestampSlack);
    ~InotifyTree() override;
    InotifyTree(const InotifyTree &) = delete;
    InotifyTree &operator=(const InotifyTree &) = delete;

    bool open() override;
    void watchTree(const std::atomic_bool &cancel) override;
    int descriptor() const override { return m_fd; }
    Events readEvents() override;

    std::size_t watchCount() const { return m_dirs.size(); }

private:
    // A watched directory, named relative to its parent so that a renamed directory costs one
    // update. The root has no parent (-1) and holds the whole root path as its name.
    struct Dir
    {
        int parent;
        std::string name;
    };

    enum class Report
    {
        nothing,
        allFiles,
        changedFiles, // files changed since WalkState::since; every file of a directory new to us
    };

    // Where a walk stands: the directory's watch, and what to report of its files.
    struct Place
    {
        int wd;
        Report report;
    };

    struct WalkState
    {
        timespec since{};
        bool reconcile = false; // collect `seen`, to forget what was not found again
        std::unordered_set<int> seen;
        std::string firstOverLimit;
        int overLimit = 0;
    };

    struct MovedAway
    {
        std::uint32_t cookie;
        int wd; // -1 when the directory was not watched
    };

    void walk(const std::string &top, Place place, WalkState &state, QStringList &found);
    std::optional<Place> enter(const Place &parent, const std::string &path, std::string_view name,
                               WalkState &state);
    void reportFile(Report report, std::string path, const WalkState &state,
                    QStringList &found) const;
    int addWatch(const std::string &path, WalkState &state) const;
    bool adopt(int wd, int parent, const std::string &name);
    bool isAncestor(int ancestor, int wd) const;
    int childNamed(int parent, const std::string &name) const;
    std::string pathOf(int wd) const;
    void handle(const inotify_event &event, Events &out);
    void watchNewDirectory(const std::string &path, int parent, const std::string &name,
                           Report report, QStringList &found);
    void settleMoves();
    void forget(const std::unordered_set<int> &tops);
    void recoverFromOverflow(Events &out);
    void reportWatchLimit(const WalkState &state) const;
    bool cancelled() const;

    std::string m_root;
    std::chrono::milliseconds m_slack;
    int m_fd = -1;
    int m_rootWd = -1;
    std::unordered_map<int, Dir> m_dirs;
    // Renamed-away directories whose new name has not been read yet: moved out of the tree
    // unless the matching IN_MOVED_TO arrives before the queue runs dry.
    std::vector<MovedAway> m_movedAway;
    timespec m_caughtUp{};  // when the event queue was last found empty
    timespec m_lostSince{}; // m_caughtUp as it was when an overflow was read
    bool m_overflowed = false;
    bool m_ended = false;
    const std::atomic_bool *m_cancel = nullptr;
    std::unique_ptr<char[]> m_buffer;
};
