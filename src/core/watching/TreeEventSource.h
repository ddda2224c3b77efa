// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

// The platform's file-system events for one directory tree, as the paths they name (inotify on
// Linux). The platform library makes them; the core only knows this interface. Opened on the
// caller's thread, which must stay quick; from then on used only on the watch queue, where the
// tree is watched and the events are read.
class TreeEventSource
{
public:
    enum class End
    {
        none,
        deleted,   // the root was deleted, or replaced by another directory
        moved,     // the root was renamed or moved away
        unmounted, // the file system holding the root was unmounted
    };

    struct Events
    {
        QStringList paths; // in the order the events named them; may repeat
        End end = End::none;
    };

    // Makes the source of one tree. `timestampSlack`: how much earlier than the moment it
    // happened a change may be stamped on disk; used when lost events force a look at file times.
    using Factory = std::function<std::unique_ptr<TreeEventSource>(
        const QString &root, std::chrono::milliseconds timestampSlack)>;

    virtual ~TreeEventSource() = default;

    // Starts watching the root alone; false when no event stream can be made for it.
    virtual bool open() = 0;
    // Watches every directory below the root. Returns early once `cancel` is set; the flag must
    // outlive the source.
    virtual void watchTree(const std::atomic_bool &cancel) = 0;
    // Readable whenever events wait.
    virtual int descriptor() const = 0;
    // Reads the waiting events. After an `end` the source reports nothing more.
    virtual Events readEvents() = 0;
};
