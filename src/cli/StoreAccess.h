// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/git/WatcherGitOptions.h"
#include "core/model/CodeWatcherModel.h"
#include "core/support/Result.h"

#include <QList>
#include <QUuid>

#include <memory>

class ConfigManagerFactory;
class CoreServices;
class UserDefaults;

// What the store commands change, reached one of two ways: the stores themselves, when no
// Sprucer runs (the command holds the instance lock meanwhile), or the running Sprucer's own
// registry, so that a watcher added is watched at once and one removed stops.
class StoreAccess
{
public:
    virtual ~StoreAccess() = default;

    virtual ConfigManagerFactory &configurations() = 0;
    // Every stored watcher, restored or not.
    virtual QList<CodeWatcherModel> watchers() = 0;
    virtual Result<void> addWatcher(const CodeWatcherModel &watcher) = 0;
    virtual Result<void> removeWatcher(const QUuid &watcherId) = 0;
    // The watcher of `changed.id` takes its name, configuration and switch.
    virtual Result<void> changeWatcher(const CodeWatcherModel &changed) = 0;
    // The watcher's git options (both off for one stored before they existed).
    virtual GitOptions gitOptions(const QUuid &watcherId) = 0;
    virtual Result<void> setGitOptions(const QUuid &watcherId, const GitOptions &options) = 0;

    static std::unique_ptr<StoreAccess> stored(UserDefaults &settings);
    static std::unique_ptr<StoreAccess> running(CoreServices &core);
};
