// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/services/CoreServices.h"

#include "core/formatting/ConfigManagerFactory.h"
#include "core/formatting/CopyJournal.h"
#include "core/formatting/FileCoordinator.h"
#include "core/formatting/FormattedFileCache.h"
#include "core/formatting/SprucerFactory.h"
#include "core/git/GitRules.h"
#include "core/history/FixJournal.h"
#include "core/markups/MarkupIndex.h"
#include "core/markups/MarkupWatcher.h"
#include "core/services/FixUndo.h"
#include "core/stats/StatisticsService.h"
#include "core/support/AppPaths.h"
#include "core/support/NotificationCenter.h"
#include "core/support/RecoveryFile.h"
#include "core/telemetry/UsageSignals.h"
#include "core/watching/FixPipeline.h"
#include "core/watching/FixProgress.h"
#include "core/watching/MonitorLifecycle.h"
#include "core/watching/SecurityScopedResourceManager.h"
#include "core/watching/WatcherListStore.h"

namespace {

MonitorRegistryParts::FixerMaker realFixers(const ConfigManagerFactory &configurations,
                                            ToolFixer::Environment environment)
{
    auto factory = std::make_shared<SprucerFactory>(configurations, std::move(environment));
    return [factory](const CodeWatcherModel &watcher) {
        return factory->makeFixer(watcher);
    };
}

std::unique_ptr<UserDefaults> usersOwnUnlessGiven(const UserDefaults *given)
{
    return given ? nullptr : std::make_unique<UserDefaults>();
}

} // namespace

CoreServices::CoreServices(PlatformServices platform, Options options)
    : m_ownSettings(usersOwnUnlessGiven(options.settings))
    , m_settings(options.settings ? options.settings : m_ownSettings.get())
    // Before anything reads the store: those values are newer than the store's.
    , m_recovered(m_ownSettings ? m_ownSettings->mergeRecoveryFile(RecoveryFile::defaultPath())
                                : UserDefaults::Recovered{})
    , m_notifications(std::make_unique<NotificationCenter>())
    , m_configurations(std::make_unique<ConfigManagerFactory>(*m_settings))
    , m_statistics(std::make_unique<StatisticsService>(*m_settings))
    , m_bookmarks(std::make_unique<SecurityScopedResourceManager>(*m_settings))
    , m_fileCoordinator(std::make_unique<FileCoordinator>())
    , m_copyJournal(std::make_unique<CopyJournal>(AppPaths::cachesDirectory() + u"/private-copies",
                                                  AppPaths::outOfTreeCopiesDirectory()))
    , m_formatted(
          std::make_unique<FormattedFileCache>(AppPaths::cachesDirectory() + u"/formatted-files"))
    , m_git(std::make_unique<GitRules>(*m_settings))
    , m_watcherStore(std::make_unique<WatcherListStore>(*m_settings))
    , m_monitors(std::make_unique<MonitorLifecycle>(
          *m_bookmarks, std::move(platform.treeEventSources), std::move(platform.returnWatches),
          DirectoryMonitor::Timings{options.latency}))
    , m_pipeline(std::make_unique<FixPipeline>(FixPipeline::Timings{options.processedFilesWindow}))
    , m_progress(std::make_unique<FixProgress>(*m_notifications))
    , m_journal(std::make_unique<FixJournal>(
          options.historyFolder.isEmpty() ? FixJournal::defaultFolder() : options.historyFolder))
    , m_undo(std::make_unique<FixUndo>(*m_journal, m_fileCoordinator.get()))
    , m_markups(std::make_unique<MarkupIndex>())
    , m_markupWatcher(std::make_unique<MarkupWatcher>())
{
    listenToOutcomes();
    // Before any watcher starts, so no run of this process is mistaken for a leftover.
    m_copyJournal->sweepLeftovers();

    MonitorRegistry::Parts parts;
    parts.store = m_watcherStore.get();
    parts.monitors = m_monitors.get();
    parts.pipeline = m_pipeline.get();
    parts.markupWatcher = m_markupWatcher.get();
    parts.markups = m_markups.get();
    parts.git = m_git.get();
    m_pipeline->setGitRules(m_git.get());
    m_makeFixer = std::move(options.makeFixer);
    m_makeCheckingFixer = m_makeFixer;
    m_makeStagedFixer = m_makeFixer;
    if (!m_makeFixer) {
        ToolFixer::Environment environment;
        environment.coordinator = m_fileCoordinator.get();
        environment.journal = m_copyJournal.get();
        environment.stop = &m_pipeline->toolStop();
        environment.formatted = m_formatted.get();
        environment.git = m_git.get();
        m_makeFixer = realFixers(*m_configurations, environment);
        environment.checkOnly = true;
        m_makeCheckingFixer = realFixers(*m_configurations, environment);
        environment.contentOf = [git = m_git.get()](const QString &path) {
            const GitWorkTrees::Found found = git->workTrees().find(path);
            return found.repository ? found.repository->stagedContent(path) : std::nullopt;
        };
        m_makeStagedFixer = realFixers(*m_configurations, std::move(environment));
    }
    parts.makeFixer = m_makeFixer;
    parts.restore = options.restoreWatchers;
    parts.sendSignal = std::move(options.sendSignal);
    if (!parts.sendSignal) {
        parts.sendSignal = [](const QString &name, const QMap<QString, QString> &parameters) {
            UsageSignals::signal(name, parameters);
        };
    }
    m_registry = std::make_unique<MonitorRegistry>(std::move(parts));
    m_health = std::make_unique<WatcherHealth>(*m_registry, *m_pipeline, *m_configurations,
                                               std::move(options.health));
}

Result<std::shared_ptr<IFixer>> CoreServices::makeFixer(const CodeWatcherModel &watcher,
                                                        FixerUse use) const
{
    switch (use) {
    case FixerUse::format:
        break;
    case FixerUse::check:
        return m_makeCheckingFixer(watcher);
    case FixerUse::checkStaged:
        return m_makeStagedFixer(watcher);
    }
    return m_makeFixer(watcher);
}

CounterStore &CoreServices::counters()
{
    return m_statistics->counters();
}

CodeFixStatistics &CoreServices::statistics()
{
    return m_statistics->daily();
}

// Each file's outcome is told once; these are everyone who keeps something of it, in the order
// they learn of it: counts first, so a row redrawn for the progress shows the new count.
void CoreServices::listenToOutcomes()
{
    FixPipeline *pipeline = m_pipeline.get();
    QObject::connect(pipeline, &FixPipeline::filesHandedOver, m_progress.get(),
                     &FixProgress::handedOver);
    QObject::connect(pipeline, &FixPipeline::fileFinished, m_progress.get(),
                     [this](const FixOutcome &outcome) {
                         m_statistics->record(outcome);
                         m_markups->apply(outcome);
                         m_progress->finished(outcome);
                         keepHistory(outcome);
                     });
    m_journal->setEnabled(FixJournal::kept(*m_settings));
    pipeline->setLeftAlone(
        [journal = m_journal.get()](const QString &path) { return journal->leavesAlone(path); });
}

void CoreServices::keepHistory(const FixOutcome &outcome)
{
    if (!outcome.changed() || !m_journal->enabled())
        return;
    // At quit the registry is going (the last outcomes arrive while it stops), and a command
    // that only formats registers none: then the watchers are the stored ones.
    QList<CodeWatcherModel> watchers =
        m_registry ? m_registry->watchers() : QList<CodeWatcherModel>();
    const auto isFixers = [&outcome](const CodeWatcherModel &each) {
        return each.id == outcome.watcherId;
    };
    if (std::none_of(watchers.cbegin(), watchers.cend(), isFixers))
        watchers =
            WatcherListStore::decode(
                m_settings->value(WatcherListStore::userDefaultsKeyForWatchers).toByteArray())
                .items;
    QString watcher, configuration;
    for (const CodeWatcherModel &known : std::as_const(watchers)) {
        if (known.id != outcome.watcherId)
            continue;
        watcher = known.name;
        for (const ConfigurationItem &item : m_configurations->configs()) {
            if (item.id == known.configurationId)
                configuration = item.name;
        }
    }
    m_journal->record(outcome, watcher, configuration);
}

CoreServices::~CoreServices()
{
    m_health.reset();
    m_registry.reset(); // stops the watchers and waits for the files under way
}
