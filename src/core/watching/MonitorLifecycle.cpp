// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/MonitorLifecycle.h"

#include "core/model/CodeWatcherModel.h"
#include "core/support/LocalPath.h"
#include "core/watching/SecurityScopedResourceManager.h"

namespace {

QString monitorErrorText(DirectoryMonitorError error)
{
    switch (error) {
    case DirectoryMonitorError::failedToAccessResource:
        return QStringLiteral("Failed to access monitored directory - access denied");
    case DirectoryMonitorError::failedToStartMonitoring:
        return QStringLiteral("Failed to start directory monitoring");
    }
    return {};
}

} // namespace

MonitorLifecycle::MonitorLifecycle(SecurityScopedResourceManager &bookmarks,
                                   TreeEventSource::Factory sources, ReturnWatch::Factory returns,
                                   DirectoryMonitor::Timings timings)
    : m_bookmarks(bookmarks)
    , m_environment{&m_queue, std::move(sources), &bookmarks, timings, std::move(returns),
                    // It may be another directory now, with another inode.
                    [this](const QUrl &dir) {
                        m_bookmarks.saveBookmark(dir);
                        tellRootListener();
                    },
                    [this](const QUrl &) {
                        tellRootListener();
                    }}
{}

void MonitorLifecycle::tellRootListener() const
{
    if (m_rootListener)
        m_rootListener();
}

Result<std::shared_ptr<DirectoryMonitor>>
MonitorLifecycle::make(const CodeWatcherModel &watcher,
                       std::weak_ptr<DirectoryMonitorProtocol> delegate)
{
    QUrl directory = watcher.url;
    if (std::optional<QUrl> resolved =
            m_bookmarks.resolveBookmark(LocalPath::fromUrl(watcher.url))) {
        directory = *resolved;
    } else if (Result<QByteArray> bookmark = m_bookmarks.saveBookmark(watcher.url); !bookmark) {
        return bookmark.error();
    }
    return std::make_shared<DirectoryMonitor>(directory, m_environment, std::move(delegate));
}

Result<void> MonitorLifecycle::start(DirectoryMonitor &monitor) const
{
    if (std::optional<DirectoryMonitorError> error = monitor.startMonitoring())
        return Error{QStringLiteral("DirectoryMonitorError"), int(*error),
                     monitorErrorText(*error)};
    return {};
}
