// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/FormatCheck.h"
#include "core/formatting/ToolStop.h"
#include "support/TestMain.h"

#include <QMutex>
#include <QThread>

#include <atomic>

using namespace Qt::StringLiterals;
using Outcome = FixResult::Outcome;

namespace {

// Fails the files named "bad…", would change the others, and notes the batches it is handed.
class BatchFixer : public IFixer
{
public:
    QString language() const override { return u"C++"_s; }
    FixResult fix(const QString &filePath) override { return fixAll({filePath}).value(0); }
    QList<FixResult> fixAll(const QStringList &filePaths) override
    {
        if (onBatch)
            onBatch();
        QThread::msleep(20); // so that batches overlap
        QList<FixResult> results;
        for (const QString &path : filePaths) {
            const bool bad = path.endsWith(u"bad"_s);
            results << FixResult::of(bad ? Outcome::failed : Outcome::changed,
                                     "after " + path.toUtf8(),
                                     bad ? u"tool: cannot parse "_s + path : QString());
            results.last().original = "before " + path.toUtf8();
        }
        const QMutexLocker lock(&mutex);
        batches << filePaths;
        return results;
    }

    QMutex mutex;
    QList<QStringList> batches;
    std::function<void()> onBatch;
};

} // namespace

// A check of many files in batches, on a fixer that tells how it was called.
class TestFormatCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Batches never mix groups nor exceed their size, records come in the order given with the
    // tool's words, and the progress counts up to the total, one call at a time. Contents are kept
    // only when asked, and only for files that change.
    void batchesFollowTheGroupsAndRecordsTheOrder()
    {
        const auto first = std::make_shared<BatchFixer>(), second = std::make_shared<BatchFixer>();
        const QList<FormatCheck::Group> groups{
            {first, QUuid::createUuid(), {u"/a/1"_s, u"/a/bad"_s, u"/a/3"_s, u"/a/4"_s, u"/a/5"_s}},
            {second, QUuid(), {u"/b/1"_s, u"/b/2"_s, u"/b/3"_s}}};
        FormatCheck::Options options;
        options.batchSize = 2;
        options.threadCount = 3;
        std::atomic<bool> inside = false, overlapped = false;
        QList<qsizetype> done;
        options.progress = [&](qsizetype count, qsizetype total) {
            overlapped = overlapped || inside.exchange(true) || total != 8;
            done << count;
            QThread::msleep(2);
            inside = false;
        };
        for (const bool keep : {false, true}) {
            options.keepContents = keep;
            const QList<FormatCheck::Record> records = FormatCheck::run(groups, options);
            QVERIFY(!overlapped && done.last() == 8 && std::is_sorted(done.cbegin(), done.cend()));
            QCOMPARE(records.size(), 8);
            QCOMPARE(records[1].path, u"/a/bad"_s);
            QCOMPARE(records[1].outcome, Outcome::failed);
            QCOMPARE(records[1].error, u"tool: cannot parse /a/bad"_s);
            QVERIFY(!records[1].before && !records[1].after);
            QCOMPARE(records[4].watcherId, groups[0].watcherId);
            QCOMPARE(records[7].path, u"/b/3"_s);
            QVERIFY(records[7].wouldChange() && records[7].watcherId.isNull());
            QCOMPARE(records[7].after,
                     keep ? std::optional<QByteArray>("after /b/3") : std::nullopt);
            QCOMPARE(records[7].before,
                     keep ? std::optional<QByteArray>("before /b/3") : std::nullopt);
            done.clear();
        }
        QList<QStringList> batches = first->batches + second->batches;
        std::sort(batches.begin(), batches.end());
        batches.erase(std::unique(batches.begin(), batches.end()), batches.end());
        QCOMPARE(batches, QList<QStringList>({{u"/a/1"_s, u"/a/bad"_s},
                                              {u"/a/3"_s, u"/a/4"_s},
                                              {u"/a/5"_s},
                                              {u"/b/1"_s, u"/b/2"_s},
                                              {u"/b/3"_s}}));
    }

    // Once the stop refuses new runs, no batch begins and their files come back skipped.
    void theStopEndsTheBatchesNotBegun()
    {
        const auto fixer = std::make_shared<BatchFixer>();
        ToolStop stop;
        fixer->onBatch = [&stop] {
            stop.refuseNewRuns();
        };
        FormatCheck::Options options;
        options.stop = &stop;
        options.threadCount = 1;
        options.batchSize = 2;
        const QList<FormatCheck::Record> records =
            FormatCheck::run({{fixer, {}, {u"/1"_s, u"/2"_s, u"/3"_s, u"/4"_s, u"/5"_s}}}, options);
        QCOMPARE(fixer->batches.size(), 1);
        QCOMPARE(records[1].outcome, Outcome::changed);
        for (qsizetype i = 2; i < records.size(); ++i) {
            QCOMPARE(records[i].outcome, Outcome::skipped);
            QCOMPARE(records[i].error, ToolStop::reason());
        }
    }
};

SPRUCER_TEST_MAIN(TestFormatCheck)
#include "TestFormatCheck.moc"
