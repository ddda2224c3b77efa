// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/DirectoryMonitor.h"

#include "core/support/LocalPath.h"
#include "core/support/PrivateCopyNames.h"
#include "core/support/SerialQueue.h"
#include "core/support/SprucerLogger.h"
#include "core/watching/DirectoryMonitorProtocol.h"
#include "core/watching/EventCoalescer.h"
#include "core/watching/SecurityScopedResourceManager.h"

#include <QDir>
#include <QDirIterator>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <atomic>
#include <utility>

// The running stream of one monitor: its event source, its notifier and its coalescer. Made on
// the main thread; from run() on used only on the watch queue, except for the atomic flags.
class DirectoryMonitor::Stream : public std::enable_shared_from_this<Stream>
{
public:
    Stream(DirectoryMonitor *monitor, std::unique_ptr<TreeEventSource> source, SerialQueue *queue,
           std::weak_ptr<DirectoryMonitorProtocol> delegate, std::chrono::milliseconds latency,
           QString root);

    void run();
    void shutdown();
    void cancel() { m_cancel = true; }
    bool hasEnded() const { return m_ended; }

private:
    void readEvents();
    void deliver(const QStringList &paths);
    void end(TreeEventSource::End why);

    DirectoryMonitor *m_monitor;
    std::unique_ptr<TreeEventSource> m_source;
    SerialQueue *m_queue;
    std::weak_ptr<DirectoryMonitorProtocol> m_delegate;
    QString m_root;
    // Parented to the queue's context, so they go with the queue should it end first.
    QPointer<QSocketNotifier> m_notifier;
    QPointer<QTimer> m_timer;
    EventCoalescer m_coalescer;
    std::atomic_bool m_cancel = false;
    std::atomic_bool m_ended = false;
};

DirectoryMonitor::Stream::Stream(DirectoryMonitor *monitor, std::unique_ptr<TreeEventSource> source,
                                 SerialQueue *queue,
                                 std::weak_ptr<DirectoryMonitorProtocol> delegate,
                                 std::chrono::milliseconds latency, QString root)
    : m_monitor(monitor)
    , m_source(std::move(source))
    , m_queue(queue)
    , m_delegate(std::move(delegate))
    , m_root(std::move(root))
    , m_coalescer(latency,
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
    // Events of the directories already watched wait in the kernel's queue meanwhile.
    m_source->watchTree(m_cancel);
    if (m_cancel)
        return;

    const std::weak_ptr<Stream> weak = weak_from_this();
    m_timer = new QTimer(m_queue->context());
    m_timer->setSingleShot(true);
    QObject::connect(m_timer, &QTimer::timeout, m_timer, [weak] {
        if (const auto self = weak.lock())
            self->m_coalescer.fire();
    });
    m_notifier =
        new QSocketNotifier(m_source->descriptor(), QSocketNotifier::Read, m_queue->context());
    QObject::connect(m_notifier, &QSocketNotifier::activated, m_notifier, [weak] {
        if (const auto self = weak.lock())
            self->readEvents();
    });
}

void DirectoryMonitor::Stream::shutdown()
{
    m_cancel = true;
    m_coalescer.cancel();
    // Later, not now: this may run inside the timer's or the notifier's own signal.
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
    }
    if (m_timer) {
        m_timer->stop();
        m_timer->deleteLater();
    }
    m_notifier = nullptr;
    m_timer = nullptr;
    m_source.reset();
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
    SprucerLogger::shared().log(QStringLiteral("Stopped monitoring ") + m_root +
                                QStringLiteral(": ") + reason);
    m_ended = true;
    shutdown();
}

DirectoryMonitor::DirectoryMonitor(const QUrl &dir, Environment environment,
                                   std::weak_ptr<DirectoryMonitorProtocol> delegate)
    : m_dir(dir)
    , m_root(LocalPath::fromUrl(dir))
    , m_environment(std::move(environment))
    , m_delegate(std::move(delegate))
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
    SprucerLogger::shared().log(QStringLiteral("did deinit"));
}

bool DirectoryMonitor::isRunning() const
{
    return m_stream && !m_stream->hasEnded();
}

std::optional<DirectoryMonitorError> DirectoryMonitor::startMonitoring()
{
    // The registry may start a running watcher again; a second stream would report twice.
    if (isRunning())
        return std::nullopt;
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
    m_stream = std::make_shared<Stream>(this, std::move(source), m_environment.queue, m_delegate,
                                        m_environment.timings.latency, m_root);
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
    stopMonitoring();
    const SecurityScopedResourceManager &access = *m_environment.access;
    if (!access.startAccessing(m_dir))
        return;

    // Regular files only, hidden ones included; links are neither reported nor followed, and
    // the private copies of files being formatted are not the project's.
    QStringList files;
    QDirIterator it(m_root, QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QString file = it.next();
        if (!PrivateCopyNames::isInsideCopy(file))
            files.append(std::move(file));
    }
    if (!files.isEmpty()) {
        if (const auto delegate = m_delegate.lock())
            delegate->didObserveChanges(this, files);
    }

    startMonitoring(); // a failed restart leaves the monitor stopped
    if (!m_hasAccess)
        access.stopAccessing(m_dir);
}
