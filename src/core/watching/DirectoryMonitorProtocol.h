// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

class DirectoryMonitor;

// The receiver of a directory monitor's change reports (the registry).
class DirectoryMonitorProtocol
{
public:
    virtual ~DirectoryMonitorProtocol() = default;

    // Called on the watch queue. `paths` are local paths, as the monitor saw them.
    virtual void didObserveChanges(DirectoryMonitor *monitor, const QStringList &paths) = 0;
    // A rescan's report of every file of the tree ("Run Fixers"), on the watch queue, also
    // when the tree holds none. By default a change report like any other, when there is one.
    virtual void didRescan(DirectoryMonitor *monitor, const QStringList &paths)
    {
        if (!paths.isEmpty())
            didObserveChanges(monitor, paths);
    }
};
