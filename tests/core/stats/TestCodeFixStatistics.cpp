// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stats/CodeFixStatistics.h"
#include "core/stats/CounterStore.h"
#include "core/support/UserDefaults.h"
#include "support/LogFile.h"
#include "support/TestMain.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QThreadPool>
#include <QTimeZone>

#include <ctime>

using namespace Qt::StringLiterals;

// Both stores of fix counts: per watcher (CounterStore) and per day and language.
class TestCodeFixStatistics : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    void countsPerWatcherKeepTheOriginalStoredForm()
    {
        const auto stored = [](int count) -> QByteArray {
            return R"([{"fixedCount":)" + QByteArray::number(count) +
                   R"(,"id":"6F1C2A9E-3B4D-4E5F-8A7B-1C2D3E4F5A6B"}])";
        };
        const auto written = [] {
            return TestHome::settings().value(CounterStore::counterKey).toByteArray();
        };
        const QUuid id = QUuid::fromString(u"6f1c2a9e-3b4d-4e5f-8a7b-1c2d3e4f5a6b"_s);
        const QUuid other = QUuid::createUuid();
        TestHome::settings().setValue(CounterStore::counterKey, stored(41));
        CounterStore store{TestHome::settings()};
        QSignalSpy changed(&store, &CounterStore::fixedCountChanged);
        for (const QUuid &watcher : {id, other, other})
            store.incrementCount(watcher);
        QCOMPARE(changed.size(), 3);
        QCOMPARE(store.fixedCount(), (QList<CodeCounterModel>{{id, 42}, {other, 2}}));
        QCOMPARE(store.countFor(QUuid()), 0);
        QCOMPARE(CounterStore(TestHome::settings()).fixedCount(), store.fixedCount());
        QVERIFY(written().startsWith(stored(42).chopped(1)));

        // A negative count is damage, not a count: set aside like any undecodable value.
        TestHome::settings().setValue(CounterStore::counterKey, stored(-3));
        QCOMPARE(CounterStore(TestHome::settings()).fixedCount(), QList<CodeCounterModel>());
        QVERIFY(LogFile::messages().last().startsWith(
            u"⚠️ The stored \"%1\" could not be read whole"_s.arg(CounterStore::counterKey)));
    }

    // The command line and the agent count into one settings file, each store writing its
    // whole list: neither may erase what the other counted since it last looked.
    void twoProcessesCountingIntoOneFileLoseNothing()
    {
        UserDefaults agentSettings(TestHome::current().userDefaultsFile());
        UserDefaults &ours = TestHome::settings();
        const QUuid first = QUuid::createUuid();
        const QUuid second = QUuid::createUuid();
        const QDateTime now = QDate(2026, 12, 5).startOfDay().addSecs(3600);
        const DailyFix dayBefore{now.date().addDays(-1).startOfDay(), 5, u"C++"_s};
        ours.setValue(CodeFixStatistics::storageKey, CodeFixStatistics::encode({dayBefore}));
        QVERIFY(ours.flush());
        CounterStore counters{ours};
        CounterStore agentCounters{agentSettings};
        CodeFixStatistics daily{ours};
        CodeFixStatistics agentDaily{agentSettings};
        for (CodeFixStatistics *each : {&daily, &agentDaily})
            each->setClock([now] { return now; });
        const auto fix = [](CounterStore &store, CodeFixStatistics &statistics,
                            UserDefaults &settings, const QUuid &watcher, const QString &language) {
            store.incrementCount(watcher);
            statistics.recordFix(language);
            QVERIFY(settings.flush());
        };
        fix(agentCounters, agentDaily, agentSettings, first, u"C++"_s);
        fix(counters, daily, ours, first, u"C++"_s);
        fix(counters, daily, ours, second, u"Swift"_s);
        fix(agentCounters, agentDaily, agentSettings, second, u"C++"_s);
        fix(counters, daily, ours, first, u"Kotlin"_s);

        const QList<CodeCounterModel> counted{{first, 3}, {second, 2}};
        const QDateTime day = now.date().startOfDay();
        const QList<DailyFix> recorded{
            dayBefore, {day, 3, u"C++"_s}, {day, 1, u"Swift"_s}, {day, 1, u"Kotlin"_s}};
        QCOMPARE(counters.fixedCount(), counted);
        QCOMPARE(daily.dailyFixes(), recorded);
        UserDefaults reread(TestHome::current().userDefaultsFile());
        QCOMPARE(CounterStore(reread).fixedCount(), counted);
        QCOMPARE(CodeFixStatistics(reread).dailyFixes(), recorded);
    }

    void fixesOfOneDayAndLanguageShareARecord()
    {
        const QDateTime dec5 = QDate(2026, 12, 5).startOfDay();
        const QDateTime dec6 = dec5.addDays(1);
        QDateTime now;
        CodeFixStatistics statistics{TestHome::settings()};
        statistics.setClock([&now] { return now; });
        QSignalSpy changed(&statistics, &CodeFixStatistics::dailyFixesChanged);
        for (const QDateTime &at : {dec5, dec6.addSecs(-60), dec6.addSecs(60)}) {
            now = at;
            statistics.recordFix(u"Swift"_s);
        }
        QCOMPARE(changed.size(), 3);
        // From any thread, every fix is counted once.
        QThreadPool pool;
        for (int i = 0; i < 200; ++i)
            pool.start([&statistics] { statistics.recordFix(u"Kotlin"_s); });
        QVERIFY(pool.waitForDone(10000));
        QTRY_COMPARE(statistics.dailyFixes().value(2).count, 200);
        QCOMPARE(statistics.dailyFixes(),
                 (QList<DailyFix>{
                     {dec5, 2, u"Swift"_s}, {dec6, 1, u"Swift"_s}, {dec6, 200, u"Kotlin"_s}}));
        QCOMPARE(CodeFixStatistics(TestHome::settings()).dailyFixes(), statistics.dailyFixes());
    }

    // Each record's stored form is made once and kept: it must still be the whole list's form
    // after a record read back is counted on, a new day begins, and the time zone changes.
    void theStoredFormFollowsFixesDaysAndZones()
    {
        const QDateTime dec5 = QDate(2026, 12, 5).startOfDay();
        const auto stored = [] {
            return TestHome::settings().value(CodeFixStatistics::storageKey).toByteArray();
        };
        TestHome::settings().setValue(
            CodeFixStatistics::storageKey,
            CodeFixStatistics::encode({{dec5, 7, u"C++"_s}, {dec5, 1, u"Swift"_s}}));
        QDateTime now = dec5.addSecs(3600);
        CodeFixStatistics statistics{TestHome::settings()};
        statistics.setClock([&now] { return now; });
        statistics.recordFix(u"C++"_s);
        QCOMPARE(statistics.dailyFixes().value(0), (DailyFix{dec5, 8, u"C++"_s}));
        QCOMPARE(stored(), CodeFixStatistics::encode(statistics.dailyFixes()));
        now = dec5.addDays(1).addSecs(1);
        statistics.recordFix(u"C++"_s);
        QCOMPARE(statistics.dailyFixes().size(), 3);
        QCOMPARE(stored(), CodeFixStatistics::encode(statistics.dailyFixes()));

        // Stored dates are local midnights: in another zone each is stored as midnight there, and
        // a record keeps its day.
        const QByteArray zone =
            QTimeZone::systemTimeZoneId() == "Asia/Tokyo" ? "America/New_York" : "Asia/Tokyo";
        const QByteArray before = qgetenv("TZ");
        const auto restore = qScopeGuard([&] {
            before.isNull() ? qunsetenv("TZ") : qputenv("TZ", before);
            tzset();
        });
        qputenv("TZ", zone);
        tzset();
        statistics.recordFix(u"Swift"_s);
        statistics.recordFix(u"C++"_s);
        QCOMPARE(statistics.dailyFixes().size(), 4);
        QCOMPARE(statistics.dailyFixes().value(2).count, 2);
        QCOMPARE(stored(), CodeFixStatistics::encode(statistics.dailyFixes()));
        QCOMPARE(CodeFixStatistics(TestHome::settings()).dailyFixes(), statistics.dailyFixes());
        QCOMPARE(statistics.lastYearFixes().size(), 4);
    }

    void lastYearKeepsBothEnds()
    {
        QDate today(2024, 3, 1); // a year back crosses a leap day
        CodeFixStatistics statistics{TestHome::settings()};
        statistics.setClock([&today] { return QDateTime(today, QTime(15, 0)); });
        QList<DailyFix> fixes;
        for (const QDate day : {QDate(2023, 2, 28), QDate(2023, 3, 1), QDate(2024, 2, 29),
                                QDate(2024, 3, 1), QDate(2025, 3, 1), QDate(2025, 3, 4)})
            fixes.append({day.startOfDay(), 1, u"Swift"_s});
        statistics.setDailyFixes(fixes);
        QCOMPARE(statistics.lastYearFixes(), fixes.mid(1)); // days after today (clock set back) too
        today = QDate(2025, 3, 1);
        QCOMPARE(statistics.lastYearFixes(), fixes.mid(3));
    }

    void dailyFixesKeepTheOriginalStoredForm()
    {
        // 2026-12-05 00:00 UTC, in seconds since 2001.
        const QByteArray stored = R"([{"count":7,"date":818121600,"language":"C++"}])";
        TestHome::settings().setValue(CodeFixStatistics::storageKey, stored);
        CodeFixStatistics statistics{TestHome::settings()};
        const QDateTime dec5(QDate(2026, 12, 5), QTime(0, 0), Qt::UTC);
        QCOMPARE(statistics.dailyFixes(), (QList<DailyFix>{{dec5, 7, u"C++"_s}}));
        statistics.saveStatistics();
        QCOMPARE(TestHome::settings().value(CodeFixStatistics::storageKey).toByteArray(), stored);
        TestHome::settings().setValue(CodeFixStatistics::storageKey,
                                      QByteArray(stored).replace(R"(,"language":"C++")", ""));
        QVERIFY(CodeFixStatistics(TestHome::settings()).dailyFixes().isEmpty());
    }
};

SPRUCER_TEST_MAIN(TestCodeFixStatistics)
#include "TestCodeFixStatistics.moc"
