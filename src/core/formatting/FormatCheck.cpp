// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/FormatCheck.h"

#include "core/formatting/ToolStop.h"

#include <QMutex>
#include <QThreadPool>

#include <algorithm>
#include <vector>

namespace {

using Record = FormatCheck::Record;

// Files of one group handed to its fixer at once; `first` is the first one's record.
struct Batch
{
    const FormatCheck::Group *group = nullptr;
    QStringList paths;
    qsizetype first = 0;
};

// What the batches share while they run.
struct Tally
{
    const FormatCheck::Options &options;
    Record *records; // each batch writes its own, so only the count is shared
    qsizetype total = 0;
    QMutex mutex;
    qsizetype done = 0;
};

void keep(Record &record, FixResult &result, bool keepContents)
{
    record.outcome = result.outcome;
    record.error = result.reason;
    if (keepContents && result.changed()) {
        record.before = std::move(result.original);
        record.after = std::move(result.content);
    }
}

QList<FixResult> resultsOf(const Batch &batch, const ToolStop *stop)
{
    if ((stop && stop->refusesNewRuns()) || !batch.group->fixer) {
        QList<FixResult> skipped(
            batch.paths.size(), FixResult::of(FixResult::Outcome::skipped, std::nullopt,
                                              batch.group->fixer ? ToolStop::reason() : QString()));
        return skipped;
    }
    return batch.group->fixer->fixAll(batch.paths);
}

void runBatch(const Batch &batch, Tally &tally)
{
    QList<FixResult> results = resultsOf(batch, tally.options.stop);
    for (qsizetype i = 0; i < batch.paths.size(); ++i) {
        FixResult result = results.value(i);
        keep(tally.records[batch.first + i], result, tally.options.keepContents);
    }
    const QMutexLocker lock(&tally.mutex);
    tally.done += batch.paths.size();
    if (tally.options.progress)
        tally.options.progress(tally.done, tally.total);
}

std::vector<Batch> batchesOf(const QList<FormatCheck::Group> &groups, int batchSize,
                             QList<Record> &records)
{
    std::vector<Batch> batches;
    const qsizetype size = std::max(1, batchSize);
    for (const FormatCheck::Group &group : groups) {
        for (qsizetype start = 0; start < group.paths.size(); start += size) {
            batches.push_back({&group, group.paths.mid(start, size), records.size()});
            for (const QString &path : std::as_const(batches.back().paths)) {
                Record &record = records.emplace_back();
                record.path = path;
                record.watcherId = group.watcherId;
            }
        }
    }
    return batches;
}

} // namespace

QList<Record> FormatCheck::run(const QList<Group> &groups, const Options &options)
{
    QList<Record> records;
    const std::vector<Batch> batches = batchesOf(groups, options.batchSize, records);
    Tally tally{options, records.data(), records.size(), {}, 0};
    QThreadPool pool;
    pool.setObjectName(QStringLiteral("com.sprucer.check"));
    pool.setMaxThreadCount(std::max(1, options.threadCount));
    for (const Batch &batch : batches)
        pool.start([&batch, &tally] { runBatch(batch, tally); });
    pool.waitForDone();
    return records;
}
