// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/services/PlatformServices.h"
#include "core/support/UserDefaults.h"
#include "core/watching/MonitorRegistry.h"
#include "core/watching/WatcherHealth.h"

#include <chrono>
#include <memory>

class CodeFixStatistics;
class ConfigManagerFactory;
class CopyJournal;
class FormattedFileCache;
class CounterStore;
class FileCoordinator;
class FixJournal;
class FixUndo;
class FixPipeline;
class FixProgress;
class GitRules;
class MarkupIndex;
class MarkupWatcher;
class MonitorLifecycle;
class NotificationCenter;
class SecurityScopedResourceManager;
class StatisticsService;
class WatcherListStore;

struct CoreServicesOptions
{
    std::chrono::milliseconds latency{1000};              // event coalescing
    std::chrono::milliseconds processedFilesWindow{5000}; // echo suppression
    // Both empty: real fixers and the analytics client.
    MonitorRegistryParts::FixerMaker makeFixer;
    MonitorRegistryParts::SignalSender sendSignal;
    WatcherHealth::Options health;
    // Null: the user's own store, with what the last run could not store taken in first.
    UserDefaults *settings = nullptr;
    // Empty: the history of fixes in the user's data folder.
    QString historyFolder;
    // False for a command that only formats: the same stores, pipeline, fixers and counting, but
    // no stored watcher is restored, watched or scanned, and the stored list stays as it is.
    bool restoreWatchers = true;
};

// The process-wide objects of the core, made in one place, in the order they depend on each
// other, and the registry wired from them; the shell and the headless agent make it at start-up
// and hand its parts to whoever needs them.
// Main thread. Going away, it stops every watcher and waits for the files under way.
class CoreServices
{
public:
    using Options = CoreServicesOptions;

    explicit CoreServices(PlatformServices platform, Options options = {});
    ~CoreServices();
    CoreServices(const CoreServices &) = delete;
    CoreServices &operator=(const CoreServices &) = delete;

    UserDefaults &settings() { return *m_settings; }
    // What the last run could not store and this start took over (user's own store only).
    const UserDefaults::Recovered &recovered() const { return m_recovered; }
    NotificationCenter &notifications() { return *m_notifications; }
    ConfigManagerFactory &configurations() { return *m_configurations; }
    CounterStore &counters();
    CodeFixStatistics &statistics();
    SecurityScopedResourceManager &bookmarks() { return *m_bookmarks; }
    FileCoordinator &fileCoordinator() { return *m_fileCoordinator; }
    FixPipeline &pipeline() { return *m_pipeline; }
    GitRules &git() { return *m_git; }
    FixProgress &progress() { return *m_progress; }
    MarkupIndex &markups() { return *m_markups; }
    MonitorRegistry &registry() { return *m_registry; }
    WatcherHealth &health() { return *m_health; }
    FixJournal &journal() { return *m_journal; }
    FixUndo &undo() { return *m_undo; }
    // A fixer as a watcher of this configuration and language would have, made the same way;
    // to check, one that judges its tool's result but never puts it in place.
    enum class FixerUse
    {
        format,
        check,
        checkStaged, // checks what git's index holds of each file, not the file
    };
    Result<std::shared_ptr<IFixer>> makeFixer(const CodeWatcherModel &watcher,
                                              FixerUse use = FixerUse::format) const;

private:
    void listenToOutcomes();
    void keepHistory(const FixOutcome &outcome);

    std::unique_ptr<UserDefaults> m_ownSettings;
    UserDefaults *m_settings;
    UserDefaults::Recovered m_recovered;
    std::unique_ptr<NotificationCenter> m_notifications;
    std::unique_ptr<ConfigManagerFactory> m_configurations;
    std::unique_ptr<StatisticsService> m_statistics;
    std::unique_ptr<SecurityScopedResourceManager> m_bookmarks;
    std::unique_ptr<FileCoordinator> m_fileCoordinator;
    std::unique_ptr<CopyJournal> m_copyJournal;
    std::unique_ptr<FormattedFileCache> m_formatted;
    std::unique_ptr<GitRules> m_git;
    std::unique_ptr<WatcherListStore> m_watcherStore;
    std::unique_ptr<MonitorLifecycle> m_monitors;
    std::unique_ptr<FixPipeline> m_pipeline;
    std::unique_ptr<FixProgress> m_progress;
    std::unique_ptr<FixJournal> m_journal;
    std::unique_ptr<FixUndo> m_undo;
    std::unique_ptr<MarkupIndex> m_markups;
    std::unique_ptr<MarkupWatcher> m_markupWatcher;
    std::unique_ptr<MonitorRegistry> m_registry;
    std::unique_ptr<WatcherHealth> m_health;
    MonitorRegistryParts::FixerMaker m_makeFixer;
    MonitorRegistryParts::FixerMaker m_makeCheckingFixer;
    MonitorRegistryParts::FixerMaker m_makeStagedFixer;
};
