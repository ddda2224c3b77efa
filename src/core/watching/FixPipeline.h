// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/FixBatching.h"
#include "core/formatting/IFixer.h"
#include "core/formatting/ToolStop.h"
#include "core/model/FixOutcome.h"
#include "core/model/SupportedFileExtension.h"
#include "core/watching/EchoFilter.h"
#include "core/watching/FixWorkers.h"
#include "core/watching/RunSummary.h"

#include <QObject>
#include <QStringList>
#include <QUuid>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class GitRules;

struct FixPipelineTimings
{
    // How long after its delivery a processed path is checked for an echo: the fixer's own
    // write, which the monitor reports like a save, must not be processed again.
    std::chrono::milliseconds processedFilesWindow{5000};
    // How long tools under way may go on when the program quits, before they are stopped.
    std::chrono::milliseconds quitGrace{3000};
    // How long work must have held every worker before a save gets a spare one of its own.
    std::chrono::milliseconds spareAfter{3000};
};

// Turns the paths a watcher's monitor reported into fixes: keeps the files of the watcher's
// language that need it, hands them to the fixer in batches (one run of the tool each, when the
// fixer can) on a pool of its own, scans each processed file for markups, and tells how each file
// came out in one `FixOutcome`, which the counters, the TODO list and the progress listen to.
//
// Echoes of its own writes are told by content (`EchoFilter`); a save reported while its file is
// being processed waits for that run and is then processed on its own.
//
// `process` may be called on any thread (the watch queue); files are fixed on the pool; every
// signal comes on the thread the pipeline lives on, the main thread.
class FixPipeline : public QObject
{
    Q_OBJECT

public:
    using Timings = FixPipelineTimings;

    // What a delivery needs of its watcher.
    struct Route
    {
        QUuid watcherId;
        SupportedFileExtension codeKind = SupportedFileExtension::swift;
        std::shared_ptr<IFixer> fixer; // absent: files are scanned and counted, not formatted
    };

    // How the files of a delivery came; a "Run Fixers" over the whole tree ends with a summary.
    using Origin = FixOutcome::Origin;

    explicit FixPipeline(Timings timings, QObject *parent = nullptr);
    ~FixPipeline() override;

    // Returns the paths taken, each of which will have one `fileFinished`; the others are not
    // the route's language, are private copies, or hold what the fixer left a moment ago or are
    // being fixed already.
    QStringList process(const Route &route, const QStringList &paths, Origin origin = Origin::save);
    // Whether a watcher of `kind` formats the file at `path`, of those its monitor reports.
    static bool takes(SupportedFileExtension kind, const QString &path);
    // Main thread, at quit: starts no more tools and drops the files not yet begun (their next
    // save formats them); tools under way get the quit grace, then are stopped. Returns once
    // every file formatted so far is counted. Nothing is processed after it.
    void stop();
    // What the fixers of this pipeline's files must be handed, so that `stop` reaches them.
    ToolStop &toolStop() { return m_toolStop; }

    // Files the watchers' git options leave alone are not taken; null (the default): none.
    void setGitRules(GitRules *rules) { m_git = rules; }
    // Whether a watcher leaves the file alone as it is now: the user took it back from a fix.
    using LeftAlone = std::function<bool(const QString &path)>;
    // Before the first delivery; any thread may call it.
    void setLeftAlone(LeftAlone leftAlone) { m_leftAlone = std::move(leftAlone); }

    int threadCount() const { return m_workers.threadCount(); }
    void setThreadCount(int count) { m_workers.setThreadCount(count); }
    // Files handed to the fixer at once, which runs its tool on several of them together.
    static constexpr int defaultBatchSize = FixBatching::batchSize;
    int batchSize() const { return m_batchSize; }
    void setBatchSize(int size) { m_batchSize = std::max(1, size); }

Q_SIGNALS:
    // A delivery of the watcher with `count` files to process began.
    void filesHandedOver(const QUuid &watcherId, qsizetype count);
    // Once for each file handed over, in the order they are done.
    void fileFinished(const FixOutcome &outcome);
    // A "Run Fixers" is over: every file it handed over is done (after their outcomes).
    void runFinished(const QUuid &watcherId, const RunSummary &summary);
    // The paths of a finished delivery may be processed again.
    void processedFilesReleased();

private:
    struct Delivery;

    std::shared_ptr<Delivery> takeNewPaths(const Route &route, const QStringList &paths,
                                           Origin origin);
    void processBatch(const QStringList &batch, const std::shared_ptr<Delivery> &delivery);
    FixOutcome outcomeOf(const QString &path, FixResult &fixed, const Delivery &delivery) const;
    // The file's markups: none when it is gone or is not UTF-8 text, absent when it is there
    // but cannot be read. Failures are logged. `readError` says why `content` is absent.
    static std::optional<MarkupList> scan(const QString &path,
                                          const std::optional<QByteArray> &content, int readError,
                                          const Delivery &delivery);
    // When the file was not read: none for a file gone or not a regular file, else unknown.
    static std::optional<MarkupList> unreadFindings(const QString &path, int readError);
    void settle(const QString &path, const Delivery &delivery, const QByteArray &fingerprint);
    void completeFile(FixOutcome outcome, const std::shared_ptr<Delivery> &delivery);
    static void tally(const FixOutcome &outcome, Delivery &delivery);
    void releaseProcessedFiles(const std::shared_ptr<Delivery> &delivery);

    Timings m_timings;
    FixWorkers m_workers;
    ToolStop m_toolStop;
    std::atomic<bool> m_stopped{false};
    int m_batchSize = defaultBatchSize;

    EchoFilter m_echoes;
    GitRules *m_git = nullptr;
    LeftAlone m_leftAlone;
};
