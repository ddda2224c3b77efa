// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QUrl>

class DirectoryMonitor;

// The receiver of a directory monitor's change reports (the registry).
class DirectoryMonitorProtocol
{
public:
    virtual ~DirectoryMonitorProtocol() = default;

    // Called on the watch queue for stream deliveries, on the calling thread for a rescan.
    virtual void didObserveChanges(DirectoryMonitor *monitor, const QList<QUrl> &files) = 0;
};
