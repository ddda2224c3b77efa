// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/FixPipeline.h"

#include "core/formatting/IFixer.h"
#include "core/formatting/SavedFile.h"
#include "core/formatting/ToolFixer.h"
#include "core/git/GitRules.h"
#include "core/markups/MarkupWatcher.h"
#include "core/support/FreedMemory.h"
#include "core/support/Log.h"
#include "core/support/PosixFiles.h"
#include "core/support/PrivateCopyNames.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTimer>

#include <cerrno>

namespace {

// The file's bytes, or why there are none: only a regular file within the size limit is read,
// so a pipe, a device or a link to one named like source never blocks or floods a worker.
struct FileRead
{
    std::optional<QByteArray> bytes;
    int error = 0;
};

FileRead readBytes(const QString &path)
{
    QByteArray bytes;
    if (!PosixFiles::readRegular(QFile::encodeName(path).constData(), ToolFixer::sizeLimit, bytes))
        return {std::nullopt, errno};
    return {std::move(bytes), 0};
}

std::optional<QString> decodeUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QByteArray fingerprint(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

FixOutcome::Result resultOf(FixResult::Outcome outcome)
{
    using Result = FixOutcome::Result;
    switch (outcome) {
    case FixResult::Outcome::changed:
        return Result::changed;
    case FixResult::Outcome::unchanged:
        return Result::unchanged;
    case FixResult::Outcome::failed:
        return Result::failed;
    case FixResult::Outcome::skipped:
        return Result::skipped;
    case FixResult::Outcome::superseded:
        return Result::refused; // not put in place: the user's newer save wins
    }
    Q_UNREACHABLE();
    return Result::skipped;
}

} // namespace

// One report with work to do: its files, and how many of them are done.
struct FixPipeline::Delivery
{
    quint64 number = 0;
    Route route;
    Origin origin = Origin::save;
    QStringList paths;
    qsizetype completed = 0; // main thread only
    RunSummary summary;      // main thread only, once taken
};

FixPipeline::FixPipeline(Timings timings, QObject *parent)
    : QObject(parent)
    , m_timings(timings)
    , m_workers(timings.spareAfter)
{
    qRegisterMetaType<FixOutcome>();
}

FixPipeline::~FixPipeline()
{
    m_workers.waitForDone();
}

void FixPipeline::stop()
{
    m_stopped = true;
    m_toolStop.refuseNewRuns();
    m_workers.close();
    if (!m_workers.waitForDone(m_timings.quitGrace))
        m_toolStop.stopRunning();
    m_workers.waitForDone();
    // The finished files' outcomes are queued for this thread, whose loop may be over.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
}

std::shared_ptr<FixPipeline::Delivery>
FixPipeline::takeNewPaths(const Route &route, const QStringList &paths, Origin origin)
{
    auto delivery = std::make_shared<Delivery>();
    delivery->route = route;
    delivery->origin = origin;
    delivery->number = m_echoes.newDelivery();
    const QStringList kept = m_git ? m_git->kept(route.watcherId, paths) : paths;
    for (const QString &path : kept) {
        if (!takes(route.codeKind, path))
            continue;
        // A command the user runs on named files formats them whatever their history.
        if (origin != Origin::commandLine && m_leftAlone && m_leftAlone(path)) {
            ++delivery->summary.checked;
            continue;
        }
        switch (m_echoes.take(path, delivery->number)) {
        case EchoFilter::Verdict::taken:
            delivery->paths.append(path);
            break;
        case EchoFilter::Verdict::echo:
            // Holding what the fixer just left, it is formatted: a run counts it as checked.
            ++delivery->summary.checked;
            break;
        case EchoFilter::Verdict::underWay:
            break;
        }
    }
    return delivery;
}

bool FixPipeline::takes(SupportedFileExtension kind, const QString &path)
{
    return SupportedFileExtensions::matches(kind, path) && !PrivateCopyNames::isInsideCopy(path);
}

QStringList FixPipeline::process(const Route &route, const QStringList &paths, Origin origin)
{
    if (m_stopped)
        return {};
    const std::shared_ptr<Delivery> delivery = takeNewPaths(route, paths, origin);
    if (delivery->paths.isEmpty()) {
        // A run over a tree with nothing left to format still says so.
        if (origin == Origin::run) {
            QMetaObject::invokeMethod(
                this,
                [this, delivery] {
                    Q_EMIT runFinished(delivery->route.watcherId, delivery->summary);
                },
                Qt::QueuedConnection);
        }
        return {};
    }
    const QUuid watcherId = route.watcherId;
    const qsizetype count = delivery->paths.size();
    QMetaObject::invokeMethod(
        this, [this, watcherId, count] { Q_EMIT filesHandedOver(watcherId, count); },
        Qt::QueuedConnection);
    // A few files are a user's saves: each runs alone, ahead of the batches of bulk work, so
    // neither a storm of changes nor a file that hangs its tool holds them up. Only a single
    // save may take a spare worker: several files changed at once, like a run over the tree,
    // could take every spare with files that hang, and the user's next save would wait again.
    const bool fewFiles = delivery->paths.size() <= m_batchSize;
    const qsizetype step = fewFiles ? 1 : m_batchSize;
    const bool singleSave = origin == Origin::save && delivery->paths.size() == 1;
    const FixWorkers::Lane lane = !fewFiles    ? FixWorkers::Lane::bulk
                                  : singleSave ? FixWorkers::Lane::save
                                               : FixWorkers::Lane::ahead;
    for (qsizetype start = 0; start < delivery->paths.size(); start += step) {
        const QStringList batch = delivery->paths.mid(start, step);
        m_workers.start([this, batch, delivery] { processBatch(batch, delivery); }, lane);
    }
    return delivery->paths;
}

void FixPipeline::processBatch(const QStringList &batch, const std::shared_ptr<Delivery> &delivery)
{
    QElapsedTimer clock;
    clock.start();
    QList<FixResult> results(batch.size());
    if (delivery->route.fixer)
        results = delivery->route.fixer->fixAll(batch);
    const std::chrono::milliseconds duration{clock.elapsed()};
    for (qsizetype i = 0; i < batch.size(); ++i) {
        const QString &path = batch[i];
        FixOutcome outcome = outcomeOf(path, results[i], *delivery);
        outcome.duration = duration;
        const QByteArray left = outcome.digestAfter;
        QMetaObject::invokeMethod(
            this,
            [this, outcome = std::move(outcome), delivery]() mutable {
                completeFile(std::move(outcome), delivery);
            },
            Qt::QueuedConnection);
        settle(path, *delivery, left);
    }
}

FixOutcome FixPipeline::outcomeOf(const QString &path, FixResult &fixed,
                                  const Delivery &delivery) const
{
    FileRead read{fixed.content, 0};
    if (!fixed.content)
        read = readBytes(path);
    FixOutcome outcome;
    outcome.watcherId = delivery.route.watcherId;
    outcome.path = path;
    outcome.origin = delivery.origin;
    outcome.reason = fixed.reason;
    if (const IFixer *fixer = delivery.route.fixer.get()) {
        outcome.language = fixer->language();
        outcome.tool = fixer->tool();
    }
    outcome.result = resultOf(fixed.outcome);
    if (read.bytes)
        outcome.digestAfter = fingerprint(*read.bytes);
    outcome.digestBefore = fixed.original ? fingerprint(*fixed.original) : outcome.digestAfter;
    if (outcome.changed() && fixed.original && read.bytes) {
        outcome.contentBefore = *fixed.original;
        outcome.contentAfter = *read.bytes;
    }
    outcome.delivery = delivery.number;
    // A run that lost to a newer save leaves the scan and the count to that save's own run.
    if (!fixed.superseded())
        outcome.markups = scan(path, read.bytes, read.error, delivery);
    return outcome;
}

std::optional<MarkupList> FixPipeline::scan(const QString &path,
                                            const std::optional<QByteArray> &content, int readError,
                                            const Delivery &delivery)
{
    if (!content)
        return unreadFindings(path, readError);
    if (std::optional<QString> text = decodeUtf8(*content))
        return MarkupWatcher::findMarkups(*text, path);
    // The fixer has already said that a file with NUL bytes is not text.
    if (!delivery.route.fixer || !SavedFile::looksBinary(*content))
        Log::line(QStringLiteral("Not scanned for TODOs (not UTF-8 text): ") + path);
    return MarkupList();
}

std::optional<MarkupList> FixPipeline::unreadFindings(const QString &path, int readError)
{
    switch (readError) {
    case EINVAL:
        Log::line(QStringLiteral("Left alone (not a regular file): ") + path);
        return MarkupList();
    case EFBIG:
        Log::line(QStringLiteral("Not scanned for TODOs (larger than 16 MiB): ") + path);
        return std::nullopt;
    default:
        break;
    }
    Log::line(QStringLiteral("Failed to read file: ") + path);
    // A deleted or renamed file is reported like a save; its notes went with it.
    if (!QFileInfo::exists(path))
        return MarkupList();
    return std::nullopt;
}

void FixPipeline::settle(const QString &path, const Delivery &delivery,
                         const QByteArray &fingerprint)
{
    // Processed again unless the file still holds the version just left.
    if (m_echoes.settle(path, delivery.number, fingerprint))
        process(delivery.route, {path});
}

void FixPipeline::completeFile(FixOutcome outcome, const std::shared_ptr<Delivery> &delivery)
{
    const QUuid watcherId = outcome.watcherId;
    tally(outcome, *delivery);
    outcome.lastOfDelivery = ++delivery->completed == delivery->paths.size();
    const bool last = outcome.lastOfDelivery;
    Q_EMIT fileFinished(outcome);
    if (!last)
        return;
    if (delivery->origin == Origin::run)
        Q_EMIT runFinished(watcherId, delivery->summary);
    QTimer::singleShot(m_timings.processedFilesWindow, this,
                       [this, delivery] { releaseProcessedFiles(delivery); });
}

void FixPipeline::tally(const FixOutcome &outcome, Delivery &delivery)
{
    RunSummary &summary = delivery.summary;
    ++summary.checked;
    if (outcome.changed())
        ++summary.changed;
    if (outcome.result != FixOutcome::Result::failed)
        return;
    if (++summary.failed == 1)
        summary.firstFailure = RunSummary::failureOf(outcome.path, outcome.reason);
}

void FixPipeline::releaseProcessedFiles(const std::shared_ptr<Delivery> &delivery)
{
    m_echoes.release(delivery->paths, delivery->number);
    // Bulk work is over: what its files cost the allocator goes back before the agent rests.
    if (delivery->paths.size() > m_batchSize)
        FreedMemory::release();
    Q_EMIT processedFilesReleased();
}
