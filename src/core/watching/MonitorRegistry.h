// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/IFixer.h"
#include "core/git/WatcherGitOptions.h"
#include "core/model/CodeWatcherModel.h"
#include "core/support/Result.h"
#include "core/watching/AddWatcherError.h"
#include "core/watching/DirectoryMonitorProtocol.h"
#include "core/watching/FixPipeline.h"
#include "core/watching/MonitorEntry.h"
#include "core/watching/WatcherNesting.h"

#include <QList>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QSet>

#include <functional>
#include <memory>

class GitRules;
class MarkupIndex;
class MarkupWatcher;
class MonitorLifecycle;
class WatcherListStore;

// The parts a registry delegates to; the caller keeps them alive longer than the registry.
struct MonitorRegistryParts
{
    using FixerMaker = std::function<Result<std::shared_ptr<IFixer>>(const CodeWatcherModel &)>;
    using SignalSender =
        std::function<void(const QString &name, const QMap<QString, QString> &parameters)>;

    WatcherListStore *store = nullptr;      // the stored watcher list
    MonitorLifecycle *monitors = nullptr;   // makes and starts the directory monitors
    FixPipeline *pipeline = nullptr;        // turns reported files into fixes
    MarkupWatcher *markupWatcher = nullptr; // scans a started watcher's tree
    MarkupIndex *markups = nullptr;         // the running watchers' findings
    FixerMaker makeFixer;                   // the fixer of a new watcher
    GitRules *git = nullptr;                // the watchers' git options; may be null
    SignalSender sendSignal;                // usage signals
    // False in a process that only formats (the command line): the stored watchers are neither
    // restored nor ever written, since the list it would hold is not the user's.
    bool restore = true;
};

// The registered watchers and what serves each of them: its directory monitor and its fixer. The
// face the shell and the screens call: it keeps the stored list in step, starts and stops the
// monitors (and the scans of their trees for the markup index), and hands their reports to the
// fix pipeline.
//
// Every operation runs on the main thread, where `monitors` changes; each change is announced
// once, by `monitorsChanged`, on the next turn of the event loop. Reports arrive on the watch
// queue, where the pipeline takes them.
class MonitorRegistry : public QObject
{
    Q_OBJECT

public:
    using Parts = MonitorRegistryParts;
    using FixerMaker = Parts::FixerMaker;

    // A watcher that an operation over several watchers could not switch.
    struct WatcherFailure
    {
        CodeWatcherModel watcher;
        Error error;
    };

    // Loads the stored watchers, unless told not to restore them.
    explicit MonitorRegistry(Parts parts, QObject *parent = nullptr);
    ~MonitorRegistry() override;

    // Every registered watcher, in the order they were registered.
    QList<MonitorEntry> monitors() const { return m_entries; }
    QList<CodeWatcherModel> watchers() const;
    const MonitorEntry *entry(const QUuid &watcherId) const;
    // Stored watchers that could not be restored at launch (folder gone, configuration
    // deleted): kept in the store, shown so the user can see why and remove them.
    const QList<WatcherFailure> &unrestoredWatchers() const { return m_unrestored; }
    // Every stored watcher that formats with the configuration, restored or not: a
    // configuration they use must stay.
    QList<CodeWatcherModel> watchersUsing(const QUuid &configurationId) const;
    // Removes an unrestored watcher from the store.
    Result<void> forgetWatcher(const QUuid &watcherId);

    AddWatcherResult addWatcher(const CodeWatcherModel &watcher);
    Result<void> removeWatcher(const QUuid &watcherId);
    // The watcher's own switch, stored. A failure is also logged; the watcher then stays as it
    // was. While every watcher is paused, switching one on stores it and starts it on resume.
    Result<void> startWatcher(const CodeWatcherModel &watcher);
    Result<void> stopWatcher(const CodeWatcherModel &watcher);
    void setWatcherActivated(bool activated, const QUuid &watcherId);
    // Pauses every watcher, or resumes exactly those whose own switch is on; stores nothing,
    // so each watcher's stored switch stays the user's choice. Returns the watchers that could
    // not be resumed.
    QList<WatcherFailure> setGlobalActivation(bool active);
    bool isPaused() const { return m_paused; }
    // Reports every file of the watcher's tree as changed ("Run Fixers"); the pipeline's
    // runFinished tells how it went. Refused while the watcher is off or paused.
    Result<void> runFixers(const QUuid &watcherId);
    // A name typed in the table: kept in the stored list, so it outlives the launch.
    Result<void> renameWatcher(const QUuid &watcherId, const QString &name);
    // Another configuration of the watcher's language: stored, and the next file is formatted
    // with it. The watcher keeps running; files under way finish with the old one.
    Result<void> changeConfiguration(const QUuid &watcherId, const QUuid &configurationId);

    // How the watcher treats git, stored (both off without git rules). Its next files follow
    // them; a running watcher's TODO list is made again when what it leaves out changes.
    GitOptions gitOptions(const QUuid &watcherId) const;
    Result<void> setGitOptions(const QUuid &watcherId, const GitOptions &options);

    void saveWatchers();
    void loadWatchers();
    void reportMonitorCount();

    // A monitor's report, on the watch queue (or any thread: it is moved there).
    void didObserveChanges(DirectoryMonitor *monitor, const QStringList &paths,
                           FixPipeline::Origin origin = FixPipeline::Origin::save);

    // Stops every monitor and the processing (at exit): tools under way get a short grace,
    // files not yet begun are left for their next save, and what was formatted is counted.
    void shutdown();

Q_SIGNALS:
    // The watchers, their activation or their markups changed.
    void monitorsChanged();

private:
    class Delegate;

    MonitorEntry *findEntry(const QUuid &watcherId);
    // Starts the entry's stream and the scan of its tree; a failure is logged.
    Result<void> run(const MonitorEntry &entry);
    // Once the watch queue has placed the watches asked for so far.
    void scanMarkups(const CodeWatcherModel &watcher);
    void startScan(const CodeWatcherModel &watcher);
    void treeScanned(const QUuid &watcherId, MarkupList markups);
    void routesChanged();
    void announce();
    void processChanges(DirectoryMonitor *monitor, const QStringList &paths,
                        FixPipeline::Origin origin);

    // Where a monitor's reports go, less the files that watchers deeper in its tree own.
    struct Routing
    {
        FixPipeline::Route route;
        QList<WatcherNesting::Inner> inner;
    };

    Parts m_parts;
    std::shared_ptr<Delegate> m_delegate;
    QList<MonitorEntry> m_entries;
    QList<WatcherFailure> m_unrestored;
    bool m_loading = false;
    bool m_paused = false;
    bool m_announcing = false;

    // What the watch queue reads: each monitor's routing, replaced whole on every change.
    mutable QMutex m_routesMutex;
    std::shared_ptr<const QHash<const DirectoryMonitor *, Routing>> m_routes;
};
