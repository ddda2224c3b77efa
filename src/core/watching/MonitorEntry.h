// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/IFixer.h"
#include "core/model/CodeWatcherModel.h"
#include "core/watching/DirectoryMonitor.h"

#include <QUuid>

#include <memory>

// The registry's in-memory record of one registered watcher; never stored.
struct MonitorEntry
{
    QUuid id; // the entry's own id, not the watcher's
    CodeWatcherModel watcher;
    std::shared_ptr<DirectoryMonitor> monitor;
    std::shared_ptr<IFixer> fixer; // absent: files are processed but not formatted
};
