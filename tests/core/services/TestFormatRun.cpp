// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/services/CoreServices.h"
#include "core/services/FormatRun.h"
#include "core/stats/CodeFixStatistics.h"
#include "core/stats/CounterStore.h"
#include "core/support/UserDefaults.h"
#include "core/watching/WatcherListStore.h"
#include "platform/Platform.h"
#include "support/RecordingFixer.h"
#include "support/TestHome.h"
#include "support/TestMain.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::shared_ptr<RecordingFixer> trimming()
{
    auto fixer = std::make_shared<RecordingFixer>();
    fixer->setFormat([](const QByteArray &read) -> QByteArray { return read.trimmed() + '\n'; });
    return fixer;
}

std::unique_ptr<CoreServices> makeCore(bool restoreWatchers)
{
    CoreServices::Options options;
    options.settings = &TestHome::settings();
    options.restoreWatchers = restoreWatchers;
    options.makeFixer = [](const CodeWatcherModel &) -> Result<std::shared_ptr<IFixer>> {
        return std::shared_ptr<IFixer>(trimming());
    };
    options.sendSignal = [](const QString &, const QMap<QString, QString> &) {
    };
    options.health.checksWait = true;
    return std::make_unique<CoreServices>(Platform::services(), std::move(options));
}

} // namespace

class TestFormatRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formatsEachFileOnceBesideTheWatchersAndCountsWhereTheWindowDoes()
    {
        QTemporaryDir projects;
        const QString dir = projects.path();
        const CodeWatcherModel watcher =
            CodeWatcherModel::make(u"projects"_s, QUrl::fromLocalFile(dir + u'/'),
                                   SupportedFileExtension::cpp, QUuid::createUuid());
        WatcherListStore(TestHome::settings()).save({watcher});
        const QVariant stored =
            TestHome::settings().value(WatcherListStore::userDefaultsKeyForWatchers);
        std::unique_ptr<CoreServices> core = makeCore(false);
        // The watchers belong to the window or agent of the same user: neither restored nor
        // written back.
        QVERIFY(core->registry().monitors().isEmpty());
        core->registry().saveWatchers();

        for (const QString &name : {u"a.cpp"_s, u"notes.txt"_s, u"k.kt"_s, u"c.cpp"_s}) {
            QFile file(dir + u'/' + name);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("  int x;  \n\n") > 0);
        }
        CodeWatcherModel madeUp = watcher; // for a configuration outside any watcher
        madeUp.id = QUuid();
        madeUp.codeKind = SupportedFileExtension::kotlin;
        auto failing = std::make_shared<RecordingFixer>();
        failing->setOutcome(FixResult::Outcome::failed, u"broken input"_s);
        QVERIFY(TestHome::settings().flush()); // the counts' writes would wait a moment
        QList<qsizetype> progress;
        const FormatRun::Report report = FormatRun(*core).run(
            {{watcher, trimming(), {dir + u"/a.cpp"_s, dir + u"/notes.txt"_s, dir + u"/./a.cpp"_s}},
             {madeUp, trimming(), {dir + u"/k.kt"_s}},
             {watcher, failing, {dir + u"/c.cpp"_s}}},
            [&](qsizetype done, qsizetype total) { progress.append(done * 10 + total); });

        using Result = FixOutcome::Result;
        QList<Result> results;
        for (const FixOutcome &outcome : report.outcomes)
            results.append(outcome.result);
        QCOMPARE(results, (QList<Result>{Result::changed, Result::skipped, Result::changed,
                                         Result::failed}));
        QCOMPARE(report.outcomes[1].reason, u"Not a source file of C++"_s);
        QVERIFY(report.complete);
        QCOMPARE(report.summary.text(), u"4 checked · 2 changed · 1 failed"_s);
        QCOMPARE(report.summary.firstFailure, u"c.cpp: broken input"_s);
        QCOMPARE(progress, (QList<qsizetype>{13, 23, 33}));
        QCOMPARE(contentOf(dir + u"/a.cpp"_s), "int x;\n");
        // Per watcher, only the user's; per day, every fix. On disk before the run returns.
        QCOMPARE(core->counters().fixedCount(), (QList<CodeCounterModel>{{watcher.id, 1}}));
        QCOMPARE(core->statistics().dailyFixes().value(0).count, 2);
        QVERIFY(report.countsStored);
        QVERIFY(contentOf(TestHome::current().userDefaultsFile()).contains(R"(\"count\":2,)"));

        // At once again: the pipeline takes no file holding what it just left; the run still ends.
        const FormatRun::Report again =
            FormatRun(*core).run({{watcher, trimming(), {dir + u"/a.cpp"_s}}});
        QCOMPARE(again.outcomes.value(0).result, Result::skipped);

        core.reset();
        QCOMPARE(TestHome::settings().value(WatcherListStore::userDefaultsKeyForWatchers), stored);
        QCOMPARE(makeCore(true)->registry().watchers(), QList<CodeWatcherModel>{watcher});
    }
};

SPRUCER_TEST_MAIN(TestFormatRun)
#include "TestFormatRun.moc"
