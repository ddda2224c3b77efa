// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/CodeWatcherModel.h"
#include "core/model/ConfigurationItem.h"
#include "core/support/Result.h"

#include <QList>
#include <QString>

// Finds what a command names by its name or its id (with or without braces). A name two of them
// share is refused with their ids, so the user can pick one.
namespace Lookup {

Result<ConfigurationItem> configuration(const QList<ConfigurationItem> &all,
                                        const QString &nameOrId);
Result<CodeWatcherModel> watcher(const QList<CodeWatcherModel> &all, const QString &nameOrId);

// A language as the command line spells it: its code ("cpp", "objectivec", "swift", "kotlin"),
// or its name in any case ("C++", "Objective-C").
Result<SupportedFileExtension> language(const QString &spelling);
QString languageCodes(); // "cpp, objectivec, swift, kotlin"

} // namespace Lookup
