// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

class DirectoryMonitor;

// The receiver of a directory monitor's change reports (the registry).
class DirectoryMonitorProtocol
{
public:
    virtual ~DirectoryMonitorProtocol() = default;

    // Called on the watch queue for stream deliveries, on the calling thread for a rescan.
    // `paths` are local paths, as the monitor saw them.
    virtual void didObserveChanges(DirectoryMonitor *monitor, const QStringList &paths) = 0;
};
