// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/MonitorRegistry.h"

#include "core/git/GitRules.h"
#include "core/markups/MarkupIndex.h"
#include "core/markups/MarkupWatcher.h"
#include "core/support/Log.h"
#include "core/support/StoredForms.h"
#include "core/watching/DirectoryMonitorError.h"
#include "core/watching/MonitorLifecycle.h"
#include "core/watching/WatcherListStore.h"

#include <QPointer>
#include <QScopedValueRollback>

namespace {

Error registryError(const QString &description)
{
    return Error{QStringLiteral("MonitorRegistry"), 1, description};
}

Error notRegistered()
{
    return registryError(QStringLiteral("This watcher is not registered."));
}

void log(const QString &line)
{
    Log::line(line);
}

} // namespace

// Hands the monitors' reports to the registry; monitors hold it weakly.
class MonitorRegistry::Delegate : public DirectoryMonitorProtocol
{
public:
    explicit Delegate(MonitorRegistry *registry)
        : m_registry(registry)
    {}
    void didObserveChanges(DirectoryMonitor *monitor, const QStringList &paths) override
    {
        m_registry->didObserveChanges(monitor, paths);
    }
    void didRescan(DirectoryMonitor *monitor, const QStringList &paths) override
    {
        m_registry->didObserveChanges(monitor, paths, FixPipeline::Origin::run);
    }

private:
    MonitorRegistry *m_registry;
};

MonitorRegistry::MonitorRegistry(Parts parts, QObject *parent)
    : QObject(parent)
    , m_parts(std::move(parts))
    , m_delegate(std::make_shared<Delegate>(this))
    , m_routes(std::make_shared<const QHash<const DirectoryMonitor *, Routing>>())
{
    Q_ASSERT(m_parts.store && m_parts.monitors && m_parts.pipeline && m_parts.markupWatcher);
    Q_ASSERT(m_parts.markups && m_parts.makeFixer && m_parts.sendSignal);
    connect(m_parts.markups, &MarkupIndex::markupsChanged, this, &MonitorRegistry::announce);
    // A folder that went away or came back changes what its watcher's row says.
    m_parts.monitors->setRootListener([this] { announce(); });
    if (m_parts.restore)
        loadWatchers();
}

MonitorRegistry::~MonitorRegistry()
{
    m_parts.monitors->setRootListener({});
    shutdown();
}

void MonitorRegistry::shutdown()
{
    for (const MonitorEntry &entry : std::as_const(m_entries))
        entry.monitor->stopMonitoring();
    // Reports already on the watch queue reach the pipeline before it stops taking them.
    m_parts.monitors->drain();
    m_parts.pipeline->stop();
}

QList<CodeWatcherModel> MonitorRegistry::watchersUsing(const QUuid &configurationId) const
{
    QList<CodeWatcherModel> users;
    for (const MonitorEntry &entry : m_entries) {
        if (entry.watcher.configurationId == configurationId)
            users.append(entry.watcher);
    }
    for (const WatcherFailure &failure : m_unrestored) {
        if (failure.watcher.configurationId == configurationId)
            users.append(failure.watcher);
    }
    return users;
}

const MonitorEntry *MonitorRegistry::entry(const QUuid &watcherId) const
{
    for (const MonitorEntry &candidate : m_entries) {
        if (candidate.watcher.id == watcherId)
            return &candidate;
    }
    return nullptr;
}

MonitorEntry *MonitorRegistry::findEntry(const QUuid &watcherId)
{
    return const_cast<MonitorEntry *>(std::as_const(*this).entry(watcherId));
}

void MonitorRegistry::announce()
{
    // However many changes one operation or delivery makes, observers hear of them once.
    if (std::exchange(m_announcing, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_announcing = false;
            Q_EMIT monitorsChanged();
        },
        Qt::QueuedConnection);
}

void MonitorRegistry::routesChanged()
{
    auto routes = std::make_shared<QHash<const DirectoryMonitor *, Routing>>();
    const QList<CodeWatcherModel> all = watchers();
    for (const MonitorEntry &entry : std::as_const(m_entries)) {
        routes->insert(entry.monitor.get(),
                       {{entry.watcher.id, entry.watcher.codeKind, entry.fixer},
                        WatcherNesting::innerOf(entry.watcher, all)});
    }
    QMutexLocker lock(&m_routesMutex);
    m_routes = std::move(routes);
}

void MonitorRegistry::scanMarkups(const CodeWatcherModel &watcher)
{
    // Behind the watches of the trees started before it on the watch queue: two walks of one
    // tree at once take as long as one after the other, and its saves wait for the watches. The
    // queue is drained before the registry goes, and a call posted to it dies with it.
    m_parts.monitors->queue().post([this, watcher] {
        QMetaObject::invokeMethod(
            this, [this, watcher] { startScan(watcher); }, Qt::QueuedConnection);
    });
}

void MonitorRegistry::startScan(const CodeWatcherModel &watcher)
{
    QPointer<MonitorRegistry> registry(this);
    const QUuid watcherId = watcher.id;
    m_parts.markupWatcher->scanDirectory(
        watcher.url, SupportedFileExtensions::fileExtensions(watcher.codeKind),
        [registry, watcherId](MarkupList markups) {
            if (registry)
                registry->treeScanned(watcherId, std::move(markups));
        });
}

void MonitorRegistry::treeScanned(const QUuid &watcherId, MarkupList markups)
{
    MonitorEntry *found = findEntry(watcherId);
    // Stopped while its tree was walked: a stopped watcher lists nothing.
    if (!found || !found->watcher.isActivated)
        return;
    // A file of a watcher deeper in the tree is listed there, where its saves are processed.
    const QList<WatcherNesting::Inner> inner = WatcherNesting::innerOf(found->watcher, watchers());
    if (!inner.isEmpty()) {
        markups.removeIf([&](const Markup &markup) {
            return WatcherNesting::ownedByInner(inner, markup.filePath);
        });
    }
    // The walk never enters a repository's own folder; what git ignores is left out here.
    if (m_parts.git && m_parts.git->options().of(watcherId).respectGitignore) {
        QHash<QString, bool> leftOut;
        markups.removeIf([&](const Markup &markup) {
            const auto known = leftOut.constFind(markup.filePath);
            if (known != leftOut.cend())
                return *known;
            return *leftOut.insert(markup.filePath,
                                   m_parts.git->leavesOut(watcherId, markup.filePath));
        });
    }
    // A scan overtaken by a stop and a start finds its files listed already; they keep theirs.
    m_parts.markups->addScanned(watcherId, std::move(markups));
}

AddWatcherResult MonitorRegistry::addWatcher(const CodeWatcherModel &watcher)
{
    using Kind = AddWatcherError::Kind;
    if (entry(watcher.id))
        return AddWatcherError{Kind::alreadyRegistered,
                               registryError(QStringLiteral("not implemented to update config"))};
    Result<std::shared_ptr<DirectoryMonitor>> monitor = m_parts.monitors->make(watcher, m_delegate);
    if (!monitor)
        return AddWatcherError{Kind::folderRefused, monitor.error()};
    Result<std::shared_ptr<IFixer>> fixer = m_parts.makeFixer(watcher);
    if (!fixer)
        return AddWatcherError{Kind::configurationGone, fixer.error()};
    if (watcher.isActivated && !m_paused) {
        if (const Result<void> started = m_parts.monitors->start(*monitor.value()); !started) {
            const bool folderGone =
                started.error().code == int(DirectoryMonitorError::failedToAccessResource);
            return AddWatcherError{folderGone ? Kind::folderRefused : Kind::streamFailed,
                                   started.error()};
        }
        scanMarkups(watcher);
    }

    // A new watcher of a folder that had one which could not be restored takes its place:
    // the user would not know of a hidden second one. (Restoring replaces nothing.)
    if (!m_loading) {
        for (const WatcherFailure &unrestored : std::as_const(m_unrestored)) {
            if (unrestored.watcher.url == watcher.url)
                m_parts.store->forget(unrestored.watcher.id);
        }
        m_unrestored.removeIf([&](const WatcherFailure &unrestored) {
            return unrestored.watcher.url == watcher.url;
        });
    }
    // Restored watchers keep what they had, or, stored before git options existed, none.
    if (m_parts.git && !m_loading && m_parts.restore)
        m_parts.git->options().adopt(watcher.id);
    m_entries.append(MonitorEntry{QUuid::createUuid(), watcher, monitor.value(), fixer.value()});
    m_parts.markups->track(watcher.id);
    routesChanged();
    log(QStringLiteral("Started monitoring: ") + StoredForms::urlText(watcher.url));
    saveWatchers();
    m_parts.sendSignal(QStringLiteral("MonitorAdded"),
                       {{QStringLiteral("kind"), SupportedFileExtensions::code(watcher.codeKind)}});
    return {};
}

Result<void> MonitorRegistry::removeWatcher(const QUuid &watcherId)
{
    const auto found = std::find_if(m_entries.begin(), m_entries.end(), [&](const MonitorEntry &e) {
        return e.watcher.id == watcherId;
    });
    if (found == m_entries.end())
        return notRegistered();
    found->monitor->stopMonitoring();
    m_entries.erase(found);
    m_parts.markups->forget(watcherId);
    if (m_parts.git && m_parts.restore)
        m_parts.git->options().forget(watcherId);
    routesChanged();
    saveWatchers();
    m_parts.sendSignal(QStringLiteral("MonitorRemoved"), {});
    return {};
}

Result<void> MonitorRegistry::stopWatcher(const CodeWatcherModel &watcher)
{
    MonitorEntry *found = findEntry(watcher.id);
    if (!found)
        return notRegistered();
    m_parts.markups->clear(watcher.id);
    setWatcherActivated(false, watcher.id);
    found->monitor->stopMonitoring();
    saveWatchers();
    m_parts.sendSignal(QStringLiteral("MonitorStopped"), {});
    return {};
}

Result<void> MonitorRegistry::run(const MonitorEntry &entry)
{
    // A second start of a running watcher would add every finding of the tree a second time.
    const bool wasRunning = entry.monitor->isRunning();
    Result<void> started = m_parts.monitors->start(*entry.monitor);
    if (!wasRunning)
        scanMarkups(entry.watcher);
    if (!started)
        log(started.error().description);
    return started;
}

Result<void> MonitorRegistry::startWatcher(const CodeWatcherModel &watcher)
{
    MonitorEntry *found = findEntry(watcher.id);
    if (!found)
        return notRegistered();
    if (!m_paused) {
        if (Result<void> started = run(*found); !started)
            return started;
        log(QStringLiteral("Started monitoring from memory: ") + StoredForms::urlText(watcher.url));
    }
    setWatcherActivated(true, watcher.id);
    saveWatchers();
    return {};
}

void MonitorRegistry::setWatcherActivated(bool activated, const QUuid &watcherId)
{
    if (MonitorEntry *found = findEntry(watcherId)) {
        found->watcher.isActivated = activated;
        announce();
    }
}

QList<MonitorRegistry::WatcherFailure> MonitorRegistry::setGlobalActivation(bool active)
{
    QList<WatcherFailure> failures;
    m_paused = !active;
    for (MonitorEntry &each : m_entries) {
        if (!each.watcher.isActivated)
            continue;
        if (active) {
            if (const Result<void> started = run(each); !started)
                failures.append({each.watcher, started.error()});
            continue;
        }
        // A paused watcher lists nothing, as a stopped one; resuming scans its tree anew.
        m_parts.markups->clear(each.watcher.id);
        each.monitor->stopMonitoring();
        m_parts.sendSignal(QStringLiteral("MonitorStopped"), {});
    }
    announce();
    log(QStringLiteral("Sprucer global activation state changed to: ") +
        (active ? QStringLiteral("active") : QStringLiteral("inactive")));
    m_parts.sendSignal(
        QStringLiteral("AppActivationChanged"),
        {{QStringLiteral("Active"), active ? QStringLiteral("true") : QStringLiteral("false")}});
    return failures;
}

Result<void> MonitorRegistry::runFixers(const QUuid &watcherId)
{
    const MonitorEntry *found = entry(watcherId);
    if (!found)
        return notRegistered();
    // A rescan starts a stopped stream: it would wake a watcher that sleeps.
    if (!found->watcher.isActivated || m_paused)
        return registryError(m_paused ? QStringLiteral("Sprucer is deactivated.")
                                      : QStringLiteral("This watcher is switched off."));
    found->monitor->rescan();
    return {};
}

Result<void> MonitorRegistry::renameWatcher(const QUuid &watcherId, const QString &name)
{
    MonitorEntry *found = findEntry(watcherId);
    if (!found)
        return notRegistered();
    if (found->watcher.name == name)
        return {};
    found->watcher.name = name; // the routes do not carry it
    saveWatchers();
    return {};
}

GitOptions MonitorRegistry::gitOptions(const QUuid &watcherId) const
{
    return m_parts.git ? m_parts.git->options().of(watcherId) : GitOptions{};
}

Result<void> MonitorRegistry::setGitOptions(const QUuid &watcherId, const GitOptions &options)
{
    MonitorEntry *found = findEntry(watcherId);
    if (!found || !m_parts.git)
        return notRegistered();
    const GitOptions before = m_parts.git->options().of(watcherId);
    if (before == options)
        return {};
    m_parts.git->options().set(watcherId, options);
    if (before.respectGitignore != options.respectGitignore && found->watcher.isActivated &&
        found->monitor->isRunning()) {
        m_parts.markups->clear(watcherId);
        scanMarkups(found->watcher);
    }
    announce();
    return {};
}

Result<void> MonitorRegistry::changeConfiguration(const QUuid &watcherId,
                                                  const QUuid &configurationId)
{
    MonitorEntry *found = findEntry(watcherId);
    if (!found)
        return notRegistered();
    if (found->watcher.configurationId == configurationId)
        return {};
    CodeWatcherModel changed = found->watcher;
    changed.configurationId = configurationId;
    Result<std::shared_ptr<IFixer>> fixer = m_parts.makeFixer(changed);
    if (!fixer)
        return fixer.error();
    found->watcher = changed;
    found->fixer = fixer.value();
    routesChanged();
    saveWatchers();
    announce();
    return {};
}

Result<void> MonitorRegistry::forgetWatcher(const QUuid &watcherId)
{
    const qsizetype removed = m_unrestored.removeIf(
        [&](const WatcherFailure &failure) { return failure.watcher.id == watcherId; });
    if (removed == 0)
        return notRegistered();
    m_parts.store->forget(watcherId);
    if (m_parts.git)
        m_parts.git->options().forget(watcherId);
    saveWatchers();
    return {};
}

void MonitorRegistry::saveWatchers()
{
    if (!m_parts.restore)
        return;
    QList<CodeWatcherModel> watchers;
    for (const MonitorEntry &each : std::as_const(m_entries))
        watchers.append(each.watcher);
    m_parts.store->save(watchers);
    reportMonitorCount();
}

void MonitorRegistry::reportMonitorCount()
{
    m_parts.sendSignal(QStringLiteral("MonitorCount"),
                       {{QStringLiteral("Count"), QString::number(m_entries.size())}});
    announce();
}

void MonitorRegistry::loadWatchers()
{
    const QScopedValueRollback loading(m_loading, true);
    for (const CodeWatcherModel &watcher : m_parts.store->load()) {
        if (const AddWatcherResult added = addWatcher(watcher); !added) {
            log(QStringLiteral("Could not restore watcher \"%1\": %2")
                    .arg(watcher.name, added.error().error.description));
            m_unrestored.append({watcher, added.error().error});
        }
    }
}

void MonitorRegistry::didObserveChanges(DirectoryMonitor *monitor, const QStringList &paths,
                                        FixPipeline::Origin origin)
{
    SerialQueue &queue = m_parts.monitors->queue();
    if (queue.isCurrent()) {
        processChanges(monitor, paths, origin);
        return;
    }
    // Reported from elsewhere than the watch queue; the registry drains the queue before it goes
    // away, so `this` outlives the task.
    queue.post([this, monitor, paths, origin] { processChanges(monitor, paths, origin); });
}

void MonitorRegistry::processChanges(DirectoryMonitor *monitor, const QStringList &paths,
                                     FixPipeline::Origin origin)
{
    std::shared_ptr<const QHash<const DirectoryMonitor *, Routing>> routes;
    {
        QMutexLocker lock(&m_routesMutex);
        routes = m_routes;
    }
    const auto routing = routes->constFind(monitor);
    if (routing == routes->cend())
        return;
    if (routing->inner.isEmpty()) {
        m_parts.pipeline->process(routing->route, paths, origin);
        return;
    }
    QStringList owned = paths;
    owned.removeIf(
        [&](const QString &path) { return WatcherNesting::ownedByInner(routing->inner, path); });
    m_parts.pipeline->process(routing->route, owned, origin);
}

QList<CodeWatcherModel> MonitorRegistry::watchers() const
{
    QList<CodeWatcherModel> all;
    all.reserve(m_entries.size());
    for (const MonitorEntry &entry : m_entries)
        all.append(entry.watcher);
    return all;
}
