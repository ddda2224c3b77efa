// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/CodeWatcherModel.h"
#include "core/model/ConfigurationItem.h"
#include "core/support/Result.h"

#include <QList>
#include <QStringList>

#include <optional>

// The files `check` and `format` work on, each group with the watcher whose configuration and
// language apply: a path inside a watcher's folder is that watcher's; any other path needs a
// configuration named on the command line (then the group's watcher has no id, and formats the
// configuration's language). No path: every activated watcher's folder.
struct TargetGroup
{
    CodeWatcherModel watcher;
    QStringList files;
};

namespace Targets {

Result<QList<TargetGroup>> resolve(const QStringList &paths,
                                   const std::optional<ConfigurationItem> &configuration,
                                   const QList<CodeWatcherModel> &watchers);

qsizetype fileCount(const QList<TargetGroup> &groups);

} // namespace Targets
