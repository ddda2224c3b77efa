// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/markups/Markup.h"
#include "core/watching/CodeWatcherModel.h"

#include <QUuid>

#include <memory>

class DirectoryMonitor;
class IFixer;

// The registry's in-memory record of one registered watcher; never stored.
struct MonitorEntry
{
    QUuid id; // the entry's own id, not the watcher's
    CodeWatcherModel watcher;
    std::shared_ptr<DirectoryMonitor> monitor;
    MarkupList markups;
    std::shared_ptr<IFixer> fixer; // absent: files are processed but not formatted
};
