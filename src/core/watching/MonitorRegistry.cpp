// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/MonitorRegistry.h"

#include "core/formatting/SprucerFactory.h"
#include "core/markups/MarkupWatcher.h"
#include "core/stats/CounterStore.h"
#include "core/support/NotificationCenter.h"
#include "core/support/SprucerLogger.h"
#include "core/support/StoredForms.h"
#include "core/support/UserDefaults.h"
#include "core/telemetry/UsageSignals.h"
#include "core/watching/SecurityScopedResourceManager.h"
#include "core/watching/WatcherListStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QStringDecoder>
#include <QTimer>

#include <atomic>

namespace {

const QString kWatcherId = QStringLiteral("watcherId");

Error registryError(const QString &description)
{
    return Error{QStringLiteral("MonitorRegistry"), 1, description};
}

QString monitorErrorText(DirectoryMonitorError error)
{
    switch (error) {
    case DirectoryMonitorError::failedToAccessResource:
        return QStringLiteral("Failed to access monitored directory - access denied");
    case DirectoryMonitorError::failedToStartMonitoring:
        return QStringLiteral("Failed to start directory monitoring");
    }
    return {};
}

// The file's text when it is readable UTF-8.
std::optional<QString> readUtf8(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

MonitorRegistry::FixerMaker realFixers()
{
    auto factory = std::make_shared<SprucerFactory>();
    return [factory](const CodeWatcherModel &watcher) {
        return factory->makeFixer(watcher);
    };
}

} // namespace

// Hands the monitors' reports to the registry; monitors hold it weakly.
class MonitorRegistry::Delegate : public DirectoryMonitorProtocol
{
public:
    explicit Delegate(MonitorRegistry *registry)
        : m_registry(registry)
    {}
    void didObserveChanges(DirectoryMonitor *monitor, const QList<QUrl> &files) override
    {
        m_registry->didObserveChanges(monitor, files);
    }

private:
    MonitorRegistry *m_registry;
};

// One change report with work to do: its files, and how many of them are done.
struct MonitorRegistry::Delivery
{
    quint64 number = 0;
    QUuid watcherId;
    // Only what the batches need: the entry's monitor and markups stay with the registry.
    std::shared_ptr<IFixer> fixer;
    QStringList paths;
    qsizetype total = 0;
    qsizetype completed = 0; // main thread only
};

MonitorRegistry &MonitorRegistry::shared()
{
    // Lives for the whole process; the application shuts it down before quitting.
    static MonitorRegistry *const instance = new MonitorRegistry;
    return *instance;
}

MonitorRegistry::MonitorRegistry(Timings timings, FixerMaker fixerMaker, QObject *parent)
    : QObject(parent)
    , m_timings(timings)
    , m_fixerMaker(fixerMaker ? std::move(fixerMaker) : realFixers())
    , m_markupWatcher(new MarkupWatcher(this))
    , m_securityManager(SecurityScopedResourceManager::shared())
    , m_delegate(std::make_shared<Delegate>(this))
    , m_snapshot(std::make_shared<const QList<MonitorEntry>>())
{
    m_processingPool.setObjectName(QStringLiteral("com.sprucer.processing"));
    // Each batch mostly waits for a formatter process; two per core kept Run Fixers over 1,000
    // files level with xargs -P running clang-format alone (see bench/PipelineBench).
    m_processingPool.setMaxThreadCount(2 * std::max(1, QThread::idealThreadCount()));
    loadWatchers();
}

MonitorRegistry::~MonitorRegistry()
{
    shutdown();
}

void MonitorRegistry::shutdown()
{
    for (const MonitorEntry &entry : std::as_const(m_entries))
        entry.monitor->stopMonitoring();
    // Deliveries already filtered still reach the pool; let them all finish.
    m_queue.sync([] {});
    m_processingPool.waitForDone();
    // The finished files' counts are queued for the main thread, whose loop may be over.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
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

void MonitorRegistry::publish()
{
    {
        QMutexLocker lock(&m_snapshotMutex);
        m_snapshot = std::make_shared<const QList<MonitorEntry>>(m_entries);
    }
    Q_EMIT monitorsChanged();
}

void MonitorRegistry::scanMarkups(const CodeWatcherModel &watcher)
{
    QPointer<MonitorRegistry> registry(this);
    const QUuid watcherId = watcher.id;
    m_markupWatcher->scanDirectory(watcher.url,
                                   SupportedFileExtensions::fileExtensions(watcher.codeKind),
                                   [registry, watcherId](MarkupList markups) {
                                       if (!registry)
                                           return;
                                       if (MonitorEntry *entry = registry->findEntry(watcherId)) {
                                           entry->markups.append(markups);
                                           registry->publish();
                                       }
                                   });
}

Status MonitorRegistry::addWatcher(const CodeWatcherModel &watcher)
{
    if (entry(watcher.id))
        return registryError(QStringLiteral("not implemented to update config"));

    QUrl directory;
    if (std::optional<QUrl> resolved =
            m_securityManager.resolveBookmark(SecurityScopedResourceManager::pathOf(watcher.url))) {
        directory = *resolved;
    } else {
        Result<QByteArray> bookmark = m_securityManager.saveBookmark(watcher.url);
        if (!bookmark)
            return bookmark.error();
        directory = watcher.url;
    }

    auto monitor = std::make_shared<DirectoryMonitor>(directory, &m_queue, m_delegate,
                                                      DirectoryMonitor::Timings{m_timings.latency});
    Result<std::shared_ptr<IFixer>> fixer = m_fixerMaker(watcher);
    if (!fixer)
        return fixer.error();

    if (watcher.isActivated) {
        scanMarkups(watcher);
        if (std::optional<DirectoryMonitorError> error = monitor->startMonitoring())
            return registryError(monitorErrorText(*error));
    }

    m_entries.append(MonitorEntry{QUuid::createUuid(), watcher, monitor, {}, fixer.value()});
    m_retainedWatchers.removeIf([&](const CodeWatcherModel &w) { return w.id == watcher.id; });
    publish();
    SprucerLogger::shared().log(QStringLiteral("Started monitoring: ") +
                                StoredForms::urlText(watcher.url));
    saveWatchers();
    UsageSignals::signal(
        QStringLiteral("MonitorAdded"),
        {{QStringLiteral("kind"), SupportedFileExtensions::code(watcher.codeKind)}});
    return std::nullopt;
}

void MonitorRegistry::removeWatcher(const QUuid &watcherId)
{
    const auto found = std::find_if(m_entries.begin(), m_entries.end(), [&](const MonitorEntry &e) {
        return e.watcher.id == watcherId;
    });
    if (found == m_entries.end())
        return;
    found->monitor->stopMonitoring();
    m_entries.erase(found);
    publish();
    saveWatchers();
    UsageSignals::signal(QStringLiteral("MonitorRemoved"));
}

void MonitorRegistry::stopWatcher(const CodeWatcherModel &watcher)
{
    MonitorEntry *found = findEntry(watcher.id);
    if (!found)
        return;
    found->markups.clear();
    setWatcherActivated(false, watcher.id);
    found->monitor->stopMonitoring();
    publish();
    saveWatchers();
    UsageSignals::signal(QStringLiteral("MonitorStopped"));
}

void MonitorRegistry::startWatcher(const CodeWatcherModel &watcher)
{
    MonitorEntry *found = findEntry(watcher.id);
    if (!found)
        return;
    // A second start of a running watcher would add every finding of the tree a second time.
    if (!found->monitor->isRunning())
        scanMarkups(watcher);
    if (std::optional<DirectoryMonitorError> error = found->monitor->startMonitoring()) {
        SprucerLogger::shared().log(monitorErrorText(*error));
        return;
    }
    setWatcherActivated(true, watcher.id);
    SprucerLogger::shared().log(QStringLiteral("Started monitoring from memory: ") +
                                StoredForms::urlText(watcher.url));
    saveWatchers();
}

void MonitorRegistry::setWatcherActivated(bool activated, const QUuid &watcherId)
{
    if (MonitorEntry *found = findEntry(watcherId)) {
        found->watcher.isActivated = activated;
        publish();
    }
}

void MonitorRegistry::setGlobalActivation(bool active)
{
    const QList<MonitorEntry> entries = m_entries;
    for (const MonitorEntry &each : entries) {
        if (active)
            startWatcher(each.watcher);
        else
            stopWatcher(each.watcher);
    }
    SprucerLogger::shared().log(QStringLiteral("Sprucer global activation state changed to: ") +
                                (active ? QStringLiteral("active") : QStringLiteral("inactive")));
    UsageSignals::signal(
        QStringLiteral("AppActivationChanged"),
        {{QStringLiteral("Active"), active ? QStringLiteral("true") : QStringLiteral("false")}});
}

void MonitorRegistry::runFixers(const QUuid &watcherId)
{
    if (const MonitorEntry *found = entry(watcherId))
        found->monitor->rescan();
}

void MonitorRegistry::saveWatchers()
{
    QList<CodeWatcherModel> watchers;
    for (const MonitorEntry &each : std::as_const(m_entries))
        watchers.append(each.watcher);
    watchers.append(m_retainedWatchers);
    WatcherListStore::save(watchers);
    reportMonitorCount();
}

void MonitorRegistry::reportMonitorCount()
{
    UsageSignals::signal(QStringLiteral("MonitorCount"),
                         {{QStringLiteral("Count"), QString::number(m_entries.size())}});
    QMetaObject::invokeMethod(this, &MonitorRegistry::publish, Qt::QueuedConnection);
}

void MonitorRegistry::loadWatchers()
{
    const QVariant stored = UserDefaults::value(userDefaultsKeyForWatchers);
    if (!stored.isValid())
        return;
    const std::optional<QList<CodeWatcherModel>> watchers =
        WatcherListStore::decode(stored.toByteArray());
    if (!watchers)
        return;
    // Until each watcher is registered it stays in the store, so nothing is lost if we stop
    // half-way or a directory is missing for this run.
    m_retainedWatchers = *watchers;
    for (const CodeWatcherModel &watcher : *watchers) {
        if (Status failure = addWatcher(watcher)) {
            SprucerLogger::shared().log(QStringLiteral("Could not restore watcher \"%1\": %2")
                                            .arg(watcher.name, failure->description));
        }
    }
}

void MonitorRegistry::didObserveChanges(DirectoryMonitor *monitor, const QList<QUrl> &files)
{
    // The registry drains the watch queue before it goes away, so `this` outlives the task.
    m_queue.post([this, monitor, files] { processChanges(monitor, files); });
}

void MonitorRegistry::processChanges(DirectoryMonitor *monitor, const QList<QUrl> &files)
{
    std::shared_ptr<const QList<MonitorEntry>> snapshot;
    {
        QMutexLocker lock(&m_snapshotMutex);
        snapshot = m_snapshot;
    }
    const auto found =
        std::find_if(snapshot->cbegin(), snapshot->cend(),
                     [&](const MonitorEntry &e) { return e.monitor.get() == monitor; });
    if (found == snapshot->cend())
        return;
    const MonitorEntry &entry = *found;

    auto delivery = std::make_shared<Delivery>();
    QList<QUrl> kept;
    {
        QMutexLocker lock(&m_processedFilesMutex);
        delivery->number = ++m_lastDeliveryNumber;
        for (const QUrl &file : files) {
            const QString path = file.toLocalFile();
            if (!SupportedFileExtensions::matches(entry.watcher.codeKind, path) ||
                m_processedFiles.contains(path)) {
                continue;
            }
            // Taken now, not when its batch starts, so an overlapping delivery skips it too.
            m_processedFiles.insert(path, delivery->number);
            delivery->paths.append(path);
            kept.append(file);
        }
    }
    if (kept.isEmpty())
        return;
    delivery->watcherId = entry.watcher.id;
    delivery->fixer = entry.fixer;
    delivery->total = kept.size();

    const QUuid watcherId = entry.watcher.id;
    QMetaObject::invokeMethod(
        this,
        [this, watcherId] {
            m_processingWatchers.insert(watcherId);
            Q_EMIT processingWatchersChanged();
            NotificationCenter::shared().post(QStringLiteral("fileProcessingStarted"),
                                              {{kWatcherId, watcherId}});
        },
        Qt::QueuedConnection);

    for (qsizetype start = 0; start < kept.size(); start += batchSize) {
        const QList<QUrl> batch = kept.mid(start, batchSize);
        m_processingPool.start([this, batch, delivery] { processBatch(batch, delivery); });
    }
}

void MonitorRegistry::processBatch(const QList<QUrl> &batch,
                                   const std::shared_ptr<Delivery> &delivery)
{
    for (const QUrl &file : batch) {
        if (delivery->fixer)
            delivery->fixer->fix(file);
        const QString path = file.toLocalFile();
        MarkupList markups;
        if (std::optional<QString> text = readUtf8(path))
            markups = MarkupWatcher::findMarkups(*text, path);
        else
            SprucerLogger::shared().log(QStringLiteral("Failed to read file: ") + path);
        QMetaObject::invokeMethod(
            this, [this, markups, delivery] { completeFile(markups, delivery); },
            Qt::QueuedConnection);
    }
}

void MonitorRegistry::completeFile(const MarkupList &markups,
                                   const std::shared_ptr<Delivery> &delivery)
{
    CounterStore::shared().incrementCount(delivery->watcherId);
    if (MonitorEntry *current = findEntry(delivery->watcherId)) {
        current->markups.append(markups);
        publish();
    }
    if (++delivery->completed < delivery->total)
        return;
    m_processingWatchers.remove(delivery->watcherId);
    Q_EMIT processingWatchersChanged();
    NotificationCenter::shared().post(QStringLiteral("fileProcessingComplete"),
                                      {{kWatcherId, delivery->watcherId}});
    QTimer::singleShot(m_timings.processedFilesWindow, this,
                       [this, delivery] { releaseProcessedFiles(delivery); });
}

void MonitorRegistry::releaseProcessedFiles(const std::shared_ptr<Delivery> &delivery)
{
    {
        QMutexLocker lock(&m_processedFilesMutex);
        for (const QString &path : std::as_const(delivery->paths)) {
            const auto taken = m_processedFiles.constFind(path);
            if (taken != m_processedFiles.cend() && *taken == delivery->number)
                m_processedFiles.erase(taken);
        }
    }
    Q_EMIT processedFilesReleased();
}
