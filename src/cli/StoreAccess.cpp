// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/StoreAccess.h"

#include "core/formatting/ConfigManagerFactory.h"
#include "core/services/CoreServices.h"
#include "core/watching/WatcherListStore.h"

#include <algorithm>

namespace {

Error notFound()
{
    return Error{QStringLiteral("CommandLine"), 2, QStringLiteral("No such watcher.")};
}

class StoredAccess : public StoreAccess
{
public:
    explicit StoredAccess(UserDefaults &settings)
        : m_configurations(settings)
        , m_store(settings)
        , m_gitOptions(settings)
        , m_watchers(m_store.load())
    {}

    ConfigManagerFactory &configurations() override { return m_configurations; }
    QList<CodeWatcherModel> watchers() override { return m_watchers; }

    Result<void> addWatcher(const CodeWatcherModel &watcher) override
    {
        m_watchers.append(watcher);
        m_store.save(m_watchers);
        m_gitOptions.adopt(watcher.id);
        return {};
    }

    Result<void> removeWatcher(const QUuid &watcherId) override
    {
        if (m_watchers.removeIf([&](const auto &each) { return each.id == watcherId; }) == 0)
            return notFound();
        m_store.forget(watcherId);
        m_store.save(m_watchers);
        m_gitOptions.forget(watcherId);
        return {};
    }

    Result<void> changeWatcher(const CodeWatcherModel &changed) override
    {
        const auto found = std::find_if(m_watchers.begin(), m_watchers.end(),
                                        [&](const auto &each) { return each.id == changed.id; });
        if (found == m_watchers.end())
            return notFound();
        *found = changed;
        m_store.save(m_watchers);
        return {};
    }

    GitOptions gitOptions(const QUuid &watcherId) override { return m_gitOptions.of(watcherId); }

    Result<void> setGitOptions(const QUuid &watcherId, const GitOptions &options) override
    {
        m_gitOptions.set(watcherId, options);
        return {};
    }

private:
    ConfigManagerFactory m_configurations;
    WatcherListStore m_store;
    WatcherGitOptions m_gitOptions;
    QList<CodeWatcherModel> m_watchers;
};

class RunningAccess : public StoreAccess
{
public:
    explicit RunningAccess(CoreServices &core)
        : m_core(core)
        , m_registry(core.registry())
    {}

    ConfigManagerFactory &configurations() override { return m_core.configurations(); }

    QList<CodeWatcherModel> watchers() override
    {
        QList<CodeWatcherModel> all = m_registry.watchers();
        for (const MonitorRegistry::WatcherFailure &failure : m_registry.unrestoredWatchers())
            all.append(failure.watcher);
        return all;
    }

    Result<void> addWatcher(const CodeWatcherModel &watcher) override
    {
        if (const AddWatcherResult added = m_registry.addWatcher(watcher); !added)
            return added.error().error;
        return {};
    }

    Result<void> removeWatcher(const QUuid &watcherId) override
    {
        if (m_registry.entry(watcherId))
            return m_registry.removeWatcher(watcherId);
        return m_registry.forgetWatcher(watcherId);
    }

    Result<void> changeWatcher(const CodeWatcherModel &changed) override
    {
        const MonitorEntry *entry = m_registry.entry(changed.id);
        if (!entry)
            return Error{QStringLiteral("CommandLine"), 2,
                         QStringLiteral("The watcher could not be restored at this start; remove "
                                        "it and add it again.")};
        const CodeWatcherModel before = entry->watcher;
        if (changed.configurationId != before.configurationId)
            if (Result<void> moved =
                    m_registry.changeConfiguration(changed.id, changed.configurationId);
                !moved)
                return moved;
        if (changed.name != before.name)
            if (Result<void> renamed = m_registry.renameWatcher(changed.id, changed.name); !renamed)
                return renamed;
        if (changed.isActivated != before.isActivated)
            return changed.isActivated ? m_registry.startWatcher(changed)
                                       : m_registry.stopWatcher(changed);
        return {};
    }

    GitOptions gitOptions(const QUuid &watcherId) override
    {
        return m_registry.gitOptions(watcherId);
    }

    Result<void> setGitOptions(const QUuid &watcherId, const GitOptions &options) override
    {
        if (!m_registry.entry(watcherId))
            return Error{QStringLiteral("CommandLine"), 2,
                         QStringLiteral("The watcher could not be restored at this start; remove "
                                        "it and add it again.")};
        return m_registry.setGitOptions(watcherId, options);
    }

private:
    CoreServices &m_core;
    MonitorRegistry &m_registry;
};

} // namespace

std::unique_ptr<StoreAccess> StoreAccess::stored(UserDefaults &settings)
{
    return std::make_unique<StoredAccess>(settings);
}

std::unique_ptr<StoreAccess> StoreAccess::running(CoreServices &core)
{
    return std::make_unique<RunningAccess>(core);
}
