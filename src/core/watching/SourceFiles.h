// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/SupportedFileExtension.h"
#include "core/watching/WatcherNesting.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>

// The files a watcher formats, found as "Run Fixers" finds them: the tree walk with its one rule
// of what it leaves out (links, devices, the private copies of files being formatted), then the
// pipeline's rule of which files a language takes.
class SourceFiles
{
public:
    // Every regular file a run over the tree at `root` walks, in the order found; none when it
    // cannot be listed, and the walk ends early once `cancel` is set.
    static QStringList inTree(const QString &root, const std::atomic_bool *cancel = nullptr);

    // The files a watcher of `kind` formats at `path`, sorted, as absolute paths: those of the
    // tree when it is a folder (reached through a link or not), the file itself when it is a
    // regular file. Files owned by watchers `inner` of it are left out, as a run leaves them.
    // None when nothing, or a link to a file, is there.
    static QStringList of(SupportedFileExtension kind, const QString &path,
                          const QList<WatcherNesting::Inner> &inner = {});
};
