// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/FixPipeline.h"

#include "core/formatting/IFixer.h"
#include "core/markups/MarkupWatcher.h"
#include "core/stats/CounterStore.h"
#include "core/support/NotificationCenter.h"
#include "core/support/SprucerLogger.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>

namespace {

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

} // namespace

// One report with work to do: its files, and how many of them are done.
struct FixPipeline::Delivery
{
    quint64 number = 0;
    Route route;
    QStringList paths;
    qsizetype completed = 0; // main thread only
};

FixPipeline::FixPipeline(Timings timings, CounterStore &counters, NotificationCenter &notifications,
                         QObject *parent)
    : QObject(parent)
    , m_timings(timings)
    , m_counters(counters)
    , m_notifications(notifications)
{
    m_pool.setObjectName(QStringLiteral("com.sprucer.processing"));
    // Each batch mostly waits for a formatter process; two per core kept Run Fixers over 1,000
    // files level with xargs -P running clang-format alone (see bench/PipelineBench).
    m_pool.setMaxThreadCount(2 * std::max(1, QThread::idealThreadCount()));
}

FixPipeline::~FixPipeline()
{
    m_pool.waitForDone();
}

void FixPipeline::finish()
{
    m_pool.waitForDone();
    // The finished files' counts and fixes are queued for this thread, whose loop may be over.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
}

std::shared_ptr<FixPipeline::Delivery> FixPipeline::takeNewPaths(const Route &route,
                                                                 const QStringList &paths)
{
    auto delivery = std::make_shared<Delivery>();
    delivery->route = route;
    QMutexLocker lock(&m_processedFilesMutex);
    delivery->number = ++m_lastDeliveryNumber;
    for (const QString &path : paths) {
        if (!SupportedFileExtensions::matches(route.codeKind, path) ||
            m_processedFiles.contains(path)) {
            continue;
        }
        // Taken now, not when its batch starts, so an overlapping delivery skips it too.
        m_processedFiles.insert(path, delivery->number);
        delivery->paths.append(path);
    }
    return delivery;
}

void FixPipeline::process(const Route &route, const QStringList &paths)
{
    const std::shared_ptr<Delivery> delivery = takeNewPaths(route, paths);
    if (delivery->paths.isEmpty())
        return;
    const QUuid watcherId = route.watcherId;
    QMetaObject::invokeMethod(
        this,
        [this, watcherId] {
            m_processingWatchers.insert(watcherId);
            m_notifications.post(NotificationCenter::fileProcessingStartedName,
                                 {{NotificationCenter::watcherIdKey, watcherId}});
        },
        Qt::QueuedConnection);
    for (qsizetype start = 0; start < delivery->paths.size(); start += batchSize) {
        const QStringList batch = delivery->paths.mid(start, batchSize);
        m_pool.start([this, batch, delivery] { processBatch(batch, delivery); });
    }
}

void FixPipeline::processBatch(const QStringList &batch, const std::shared_ptr<Delivery> &delivery)
{
    for (const QString &path : batch) {
        if (delivery->route.fixer)
            delivery->route.fixer->fix(path);
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

void FixPipeline::completeFile(const MarkupList &markups, const std::shared_ptr<Delivery> &delivery)
{
    const QUuid watcherId = delivery->route.watcherId;
    m_counters.incrementCount(watcherId);
    const bool last = ++delivery->completed == delivery->paths.size();
    if (last)
        m_processingWatchers.remove(watcherId);
    Q_EMIT fileCompleted(watcherId, markups, last);
    if (!last)
        return;
    m_notifications.post(NotificationCenter::fileProcessingCompleteName,
                         {{NotificationCenter::watcherIdKey, watcherId}});
    QTimer::singleShot(m_timings.processedFilesWindow, this,
                       [this, delivery] { releaseProcessedFiles(delivery); });
}

void FixPipeline::releaseProcessedFiles(const std::shared_ptr<Delivery> &delivery)
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
