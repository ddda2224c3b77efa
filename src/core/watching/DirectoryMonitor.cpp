// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/DirectoryMonitor.h"

#include "core/support/LocalPath.h"
#include "core/support/Log.h"
#include "core/support/SerialQueue.h"
#include "core/watching/DirectoryMonitorProtocol.h"
#include "core/watching/EventCoalescer.h"
#include "core/watching/SecurityScopedResourceManager.h"
#include "core/watching/SourceFiles.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <atomic>
#include <utility>

namespace {

// Later, not now: this may run inside the notifier's own signal.
void discard(QPointer<QSocketNotifier> &notifier)
{
    if (notifier) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    notifier = nullptr;
}

} // namespace

// The running stream of one monitor: its event source, its notifier and its coalescer; while
// its root is away, the watch for its return. Made on the main thread; from run() on used only
// on the watch queue, except for the atomic flags.
class DirectoryMonitor::Stream : public std::enable_shared_from_this<Stream>
{
public:
    Stream(DirectoryMonitor *monitor, std::unique_ptr<TreeEventSource> source);

    void run();
    void rescan();
    void shutdown();
    void cancel() { m_cancel = true; }
    // The root went away and has not come back yet.
    bool hasEnded() const { return m_ended; }

private:
    QPointer<QSocketNotifier> listen(int descriptor, void (Stream::*handler)());
    void watchTree();
    void stopReading();
    void readEvents();
    void deliver(const QStringList &paths);
    void end(TreeEventSource::End why);
    void awaitReturn();
    void checkReturn();
    void announceReturn();
    void tellMainThread(const std::function<void(const QUrl &)> &listener);

    DirectoryMonitor *m_monitor;
    const Environment m_environment;
    const std::weak_ptr<DirectoryMonitorProtocol> m_delegate;
    const QString m_root;
    QObject *const m_mainThread;
    std::unique_ptr<TreeEventSource> m_source;
    std::unique_ptr<ReturnWatch> m_returnWatch;
    // Parented to the queue's context, so they go with the queue should it end first.
    QPointer<QSocketNotifier> m_notifier;
    QPointer<QSocketNotifier> m_returnNotifier;
    QPointer<QTimer> m_timer;
    EventCoalescer m_coalescer;
    std::atomic_bool m_cancel = false;
    std::atomic_bool m_ended = false;
};

DirectoryMonitor::Stream::Stream(DirectoryMonitor *monitor, std::unique_ptr<TreeEventSource> source)
    : m_monitor(monitor)
    , m_environment(monitor->m_environment)
    , m_delegate(monitor->m_delegate)
    , m_root(monitor->m_root)
    , m_mainThread(monitor->m_mainThread.get())
    , m_source(std::move(source))
    , m_coalescer(m_environment.timings.latency,
                  {[this](std::chrono::milliseconds after) {
                       if (m_timer)
                           m_timer->start(after);
                   },
                   [this] {
                       if (m_timer)
                           m_timer->stop();
                   }},
                  [this](const QStringList &paths) { deliver(paths); })
{}

void DirectoryMonitor::Stream::run()
{
    if (m_cancel)
        return;
    const std::weak_ptr<Stream> weak = weak_from_this();
    m_timer = new QTimer(m_environment.queue->context());
    m_timer->setSingleShot(true);
    // A coarse timer may fire 5 % early or late: a save would wait anywhere from 0.95 to 1.05 s.
    m_timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(m_timer, &QTimer::timeout, m_timer, [weak] {
        if (const auto self = weak.lock())
            self->m_coalescer.fire();
    });
    watchTree();
}

// On the watch queue, so the stream's events wait meanwhile rather than being lost, and a stop
// finds the walk done or cancelled when its sync returns.
void DirectoryMonitor::Stream::rescan()
{
    if (m_cancel)
        return;
    const QStringList files = SourceFiles::inTree(m_root, &m_cancel);
    if (m_cancel)
        return;
    // An unreadable tree is reported as empty: the run still ends with its summary.
    if (const auto delegate = m_delegate.lock())
        delegate->didRescan(m_monitor, files);
}

QPointer<QSocketNotifier> DirectoryMonitor::Stream::listen(int descriptor,
                                                           void (Stream::*handler)())
{
    auto *notifier =
        new QSocketNotifier(descriptor, QSocketNotifier::Read, m_environment.queue->context());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [weak = weak_from_this(), handler] {
                         if (const auto self = weak.lock())
                             (self.get()->*handler)();
                     });
    return notifier;
}

void DirectoryMonitor::Stream::watchTree()
{
    // Events of the directories already watched wait in the kernel's queue meanwhile.
    m_source->watchTree(m_cancel);
    if (!m_cancel)
        m_notifier = listen(m_source->descriptor(), &Stream::readEvents);
}

void DirectoryMonitor::Stream::stopReading()
{
    m_coalescer.cancel();
    discard(m_notifier);
    m_source.reset();
}

void DirectoryMonitor::Stream::shutdown()
{
    m_cancel = true;
    stopReading();
    discard(m_returnNotifier);
    m_returnWatch.reset();
    if (m_timer) {
        m_timer->stop();
        m_timer->deleteLater();
    }
    m_timer = nullptr;
}

void DirectoryMonitor::Stream::readEvents()
{
    if (m_cancel || !m_source)
        return;
    const TreeEventSource::Events events = m_source->readEvents();
    m_coalescer.add(events.paths);
    if (events.end != TreeEventSource::End::none)
        end(events.end);
}

void DirectoryMonitor::Stream::deliver(const QStringList &paths)
{
    if (m_cancel)
        return;
    if (const auto delegate = m_delegate.lock())
        delegate->didObserveChanges(m_monitor, paths);
}

void DirectoryMonitor::Stream::end(TreeEventSource::End why)
{
    QString reason;
    switch (why) {
    case TreeEventSource::End::deleted:
        reason = QStringLiteral("the directory was deleted");
        break;
    case TreeEventSource::End::moved:
        reason = QStringLiteral("the directory was moved or renamed");
        break;
    case TreeEventSource::End::unmounted:
        reason = QStringLiteral("its file system was unmounted");
        break;
    case TreeEventSource::End::none:
        return;
    }
    Log::line(QStringLiteral("Stopped monitoring ") + m_root + QStringLiteral(": ") + reason);
    m_ended = true;
    stopReading();
    tellMainThread(m_environment.rootLost);
    // A file system mounted again makes no event to wait for.
    if (why != TreeEventSource::End::unmounted)
        awaitReturn();
}

void DirectoryMonitor::Stream::awaitReturn()
{
    if (!m_environment.returns)
        return;
    m_returnWatch = m_environment.returns(m_root);
    if (!m_returnWatch || !m_returnWatch->open()) {
        m_returnWatch.reset();
        return;
    }
    m_returnNotifier = listen(m_returnWatch->descriptor(), &Stream::checkReturn);
    checkReturn(); // it may be back already
}

void DirectoryMonitor::Stream::checkReturn()
{
    if (m_cancel || !m_returnWatch || !m_returnWatch->hasReturned())
        return;
    auto source = m_environment.sources(m_root, m_environment.timings.timestampSlack);
    if (!source || !source->open())
        return; // gone again, or unreadable: the next change looks again
    discard(m_returnNotifier);
    m_returnWatch.reset();
    m_source = std::move(source);
    m_ended = false;
    announceReturn();
    watchTree();
}

void DirectoryMonitor::Stream::announceReturn()
{
    Log::line(QStringLiteral("Watching again: ") + m_root);
    tellMainThread(m_environment.rootReturned);
}

void DirectoryMonitor::Stream::tellMainThread(const std::function<void(const QUrl &)> &listener)
{
    if (!listener)
        return;
    // The monitor outlives the posted call: it stops this stream on the queue before it goes,
    // and the receiver goes with it.
    const QUrl dir = m_monitor->m_dir;
    QMetaObject::invokeMethod(
        m_mainThread, [listener, dir] { listener(dir); }, Qt::QueuedConnection);
}

DirectoryMonitor::DirectoryMonitor(const QUrl &dir, Environment environment,
                                   std::weak_ptr<DirectoryMonitorProtocol> delegate)
    : m_dir(dir)
    , m_root(LocalPath::fromUrl(dir))
    , m_environment(std::move(environment))
    , m_delegate(std::move(delegate))
    , m_mainThread(std::make_unique<QObject>())
{
    Q_ASSERT(m_environment.queue && m_environment.sources && m_environment.access);
}

DirectoryMonitor::~DirectoryMonitor()
{
    stopMonitoring();
    if (m_hasAccess) {
        m_environment.access->stopAccessing(m_dir);
        m_hasAccess = false;
    }
    Log::line(QStringLiteral("did deinit"));
}

bool DirectoryMonitor::isRunning() const
{
    return m_stream && !m_stream->hasEnded();
}

// Starting anew would drop the watch for the root's return and find no root to watch.
bool DirectoryMonitor::awaitsMissingRoot() const
{
    return m_stream && m_stream->hasEnded() && !m_environment.access->startAccessing(m_dir);
}

std::optional<DirectoryMonitorError> DirectoryMonitor::startMonitoring()
{
    // The registry may start a running watcher again; a second stream would report twice.
    if (isRunning())
        return std::nullopt;
    if (awaitsMissingRoot())
        return DirectoryMonitorError::failedToAccessResource;
    stopMonitoring(); // clears a stream whose root went away

    const SecurityScopedResourceManager &access = *m_environment.access;
    m_hasAccess = access.startAccessing(m_dir);
    if (!m_hasAccess)
        return DirectoryMonitorError::failedToAccessResource;

    auto source = m_environment.sources(m_root, m_environment.timings.timestampSlack);
    if (!source || !source->open()) {
        access.stopAccessing(m_dir);
        m_hasAccess = false;
        return DirectoryMonitorError::failedToStartMonitoring;
    }
    m_stream = std::make_shared<Stream>(this, std::move(source));
    // Watching a large tree takes a while; the main thread must not wait for it.
    m_environment.queue->post([stream = m_stream] { stream->run(); });
    return std::nullopt;
}

void DirectoryMonitor::stopMonitoring()
{
    if (!m_stream)
        return;
    const std::shared_ptr<Stream> stream = std::exchange(m_stream, nullptr);
    stream->cancel(); // a walk of the tree still under way gives up at once
    m_environment.queue->sync([stream] { stream->shutdown(); });
    if (m_hasAccess) {
        m_environment.access->stopAccessing(m_dir);
        m_hasAccess = false;
    }
}

void DirectoryMonitor::rescan()
{
    // A run needs the stream: it is what keeps reporting the saves made while the tree is walked.
    if (!isRunning() && startMonitoring())
        return; // refused: stays stopped
    m_environment.queue->post([stream = m_stream] { stream->rescan(); });
}
