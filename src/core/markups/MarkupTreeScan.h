// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/Markup.h"

#include <QString>
#include <QStringList>

// The full-tree scan behind MarkupWatcher::collectMarkups. The calling thread walks the tree
// while reader threads scan the eligible files, then joins them once the walk is done; the
// findings and log lines come out in walk order, as if one thread had done everything.
// Blocks until the scan is complete; any number of scans may run at once.
class MarkupTreeScan
{
public:
    // `threads` counts the calling thread; 0 picks one per core.
    static MarkupList run(const QString &rootPath, const QStringList &extensions, int threads = 0);
};
