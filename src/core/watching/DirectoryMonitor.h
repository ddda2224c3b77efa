// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/watching/DirectoryMonitorError.h"
#include "core/watching/ReturnWatch.h"
#include "core/watching/TreeEventSource.h"

#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class DirectoryMonitorProtocol;
class QObject;
class SecurityScopedResourceManager;
class SerialQueue;

struct DirectoryMonitorTimings
{
    // From the first event of a quiet period to the delivery of everything gathered in it.
    std::chrono::milliseconds latency{1000};
    // How much earlier than it happened a change may be stamped on disk (coarse file-system
    // clocks); only used to find the files changed while events were being lost.
    std::chrono::milliseconds timestampSlack{2000};
};

// What every monitor of the program shares: the watch queue it delivers on, the platform's
// event sources, the directory access and the timings.
struct DirectoryMonitorEnvironment
{
    SerialQueue *queue = nullptr;
    TreeEventSource::Factory sources;
    const SecurityScopedResourceManager *access = nullptr;
    DirectoryMonitorTimings timings;
    // Without it, a monitor whose root went away stays stopped until it is started again.
    ReturnWatch::Factory returns = {};
    // Told on the main thread when a root that went away is watched again.
    std::function<void(const QUrl &dir)> rootReturned = {};
    // Told on the main thread when the root of a running stream went away.
    std::function<void(const QUrl &dir)> rootLost = {};
};

// Watches one directory tree and reports the files that change in it to its delegate, the
// registry, as local paths: each path once per delivery, in order of first occurrence, one
// delivery per latency on the watch queue. It does no filtering of its own.
//
// startMonitoring, stopMonitoring and rescan are called on the main thread. The tree's watches
// are set up, its events read and delivered, and a rescan's walk made on the watch queue, which
// all monitors share.
class DirectoryMonitor
{
public:
    using Timings = DirectoryMonitorTimings;
    using Environment = DirectoryMonitorEnvironment;

    DirectoryMonitor(const QUrl &dir, Environment environment,
                     std::weak_ptr<DirectoryMonitorProtocol> delegate);
    ~DirectoryMonitor();
    DirectoryMonitor(const DirectoryMonitor &) = delete;
    DirectoryMonitor &operator=(const DirectoryMonitor &) = delete;

    // Starts the stream. A running stream is left alone, and so is one waiting for its missing
    // root (access is refused). Returns quickly: the watches of the tree below the root are
    // added on the watch queue.
    std::optional<DirectoryMonitorError> startMonitoring();
    // Once it returns, no delivery of this monitor runs or starts. Never fails.
    void stopMonitoring();
    // Returns at once. Reports every regular file of the tree in one `didRescan` on the watch
    // queue, walked there while the stream keeps running; a stopped monitor is started first.
    // Never fails: a refused directory leaves the monitor stopped and reports nothing.
    void rescan();

    // False once stopped, and while the root of a running stream is away: when a directory
    // stands at its path again, the stream watches it and reports its saves as before.
    bool isRunning() const;
    bool hasAccess() const { return m_hasAccess; }
    QUrl dir() const { return m_dir; }
    QString rootPath() const { return m_root; }

private:
    class Stream;

    bool awaitsMissingRoot() const;

    QUrl m_dir;
    QString m_root;
    Environment m_environment;
    std::weak_ptr<DirectoryMonitorProtocol> m_delegate;
    std::shared_ptr<Stream> m_stream;
    bool m_hasAccess = false;
    // Where the stream's news of a returned root is handled; goes with the monitor.
    std::unique_ptr<QObject> m_mainThread;
};
