// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/IFixer.h"
#include "core/support/Result.h"
#include "core/support/SerialQueue.h"
#include "core/watching/CodeWatcherModel.h"
#include "core/watching/DirectoryMonitor.h"
#include "core/watching/DirectoryMonitorProtocol.h"
#include "core/watching/MonitorEntry.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QThreadPool>

#include <chrono>
#include <functional>
#include <memory>

class MarkupWatcher;
class SecurityScopedResourceManager;

struct MonitorRegistryTimings
{
    std::chrono::milliseconds latency{1000};              // event coalescing
    std::chrono::milliseconds processedFilesWindow{5000}; // echo suppression
};

// The registered watchers and everything that serves them: one directory monitor, one fixer
// and the collected markups per watcher. Turns the monitors' change reports into fixes.
//
// Every operation runs on the main thread, where `monitors` and `processingWatchers` change.
// Change reports are filtered on the one watch queue, files are fixed on the processing pool,
// and each file is counted back on the main thread.
class MonitorRegistry : public QObject
{
    Q_OBJECT

public:
    using Timings = MonitorRegistryTimings;
    using FixerMaker = std::function<Result<std::shared_ptr<IFixer>>(const CodeWatcherModel &)>;

    static inline const QString userDefaultsKeyForWatchers = QStringLiteral("monitoredPaths");
    static constexpr int batchSize = 10;

    static MonitorRegistry &shared();

    // Loads the stored watchers. An empty `fixerMaker` builds real fixers.
    explicit MonitorRegistry(Timings timings = {}, FixerMaker fixerMaker = {},
                             QObject *parent = nullptr);
    ~MonitorRegistry() override;

    // Every registered watcher, in the order they were registered.
    QList<MonitorEntry> monitors() const { return m_entries; }
    const MonitorEntry *entry(const QUuid &watcherId) const;
    QSet<QUuid> processingWatchers() const { return m_processingWatchers; }

    Status addWatcher(const CodeWatcherModel &watcher);
    void removeWatcher(const QUuid &watcherId);
    void startWatcher(const CodeWatcherModel &watcher);
    void stopWatcher(const CodeWatcherModel &watcher);
    void setWatcherActivated(bool activated, const QUuid &watcherId);
    void setGlobalActivation(bool active);
    // Reports every file of the watcher's tree as changed ("Run Fixers").
    void runFixers(const QUuid &watcherId);

    void saveWatchers();
    void loadWatchers();
    void reportMonitorCount();

    // A monitor's change report; any thread. The work moves to the watch queue.
    void didObserveChanges(DirectoryMonitor *monitor, const QList<QUrl> &files);

    // Stops every monitor and waits for the files being processed (at exit).
    void shutdown();

    int processingThreadCount() const { return m_processingPool.maxThreadCount(); }
    void setProcessingThreadCount(int count) { m_processingPool.setMaxThreadCount(count); }

Q_SIGNALS:
    void monitorsChanged();
    void processingWatchersChanged();
    // The files of a finished delivery may be processed again.
    void processedFilesReleased();

private:
    class Delegate;
    struct Delivery;

    void processChanges(DirectoryMonitor *monitor, const QList<QUrl> &files);
    void processBatch(const QList<QUrl> &batch, const std::shared_ptr<Delivery> &delivery);
    void completeFile(const MarkupList &markups, const std::shared_ptr<Delivery> &delivery);
    void releaseProcessedFiles(const std::shared_ptr<Delivery> &delivery);

    MonitorEntry *findEntry(const QUuid &watcherId);
    void scanMarkups(const CodeWatcherModel &watcher);
    void publish();

    Timings m_timings;
    FixerMaker m_fixerMaker;
    SerialQueue m_queue{QStringLiteral("com.velmora.sprucer.fsmonitor")};
    MarkupWatcher *m_markupWatcher = nullptr;
    SecurityScopedResourceManager &m_securityManager;
    std::shared_ptr<Delegate> m_delegate;

    QList<MonitorEntry> m_entries;
    // Stored watchers that could not be registered (or are still loading): kept in the store.
    QList<CodeWatcherModel> m_retainedWatchers;
    QSet<QUuid> m_processingWatchers;

    // What the watch queue reads: a copy of the entries, replaced whole on every change.
    mutable QMutex m_snapshotMutex;
    std::shared_ptr<const QList<MonitorEntry>> m_snapshot;

    QThreadPool m_processingPool;

    // Paths being processed or just processed, each with the delivery that holds it, so a
    // late release never frees a path that a newer delivery took again.
    QMutex m_processedFilesMutex;
    QHash<QString, quint64> m_processedFiles;
    quint64 m_lastDeliveryNumber = 0;
};
