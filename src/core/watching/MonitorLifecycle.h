// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/support/Result.h"
#include "core/support/SerialQueue.h"
#include "core/watching/DirectoryMonitor.h"

#include <functional>
#include <memory>

class DirectoryMonitorProtocol;
struct CodeWatcherModel;

// Makes and starts the directory monitors of the watchers (each stops its own). Owns the watch
// queue on which all of them deliver, and keeps each watched directory's bookmark, renewed when
// a directory that went away is watched again. Main thread.
class MonitorLifecycle
{
public:
    static inline const QString queueLabel = QStringLiteral("com.velmora.sprucer.fsmonitor");

    MonitorLifecycle(SecurityScopedResourceManager &bookmarks, TreeEventSource::Factory sources,
                     ReturnWatch::Factory returns, DirectoryMonitor::Timings timings = {});

    // A stopped monitor of the watcher's directory, reached through its stored bookmark (made
    // now when there is none). Fails when the directory cannot be bookmarked.
    Result<std::shared_ptr<DirectoryMonitor>>
    make(const CodeWatcherModel &watcher, std::weak_ptr<DirectoryMonitorProtocol> delegate);

    // Starts the monitor; the error carries the line the log shows for it.
    Result<void> start(DirectoryMonitor &monitor) const;

    // Told on the main thread when a watched folder goes away or comes back.
    void setRootListener(std::function<void()> listener) { m_rootListener = std::move(listener); }

    SerialQueue &queue() { return m_queue; }
    // Returns once every delivery handed to the watch queue so far has been handled.
    void drain()
    {
        m_queue.sync([] {});
    }

private:
    void tellRootListener() const;

    SerialQueue m_queue{queueLabel};
    SecurityScopedResourceManager &m_bookmarks;
    std::function<void()> m_rootListener;
    DirectoryMonitor::Environment m_environment;
};
