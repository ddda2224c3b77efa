// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stats/CodeFixStatistics.h"
#include "core/support/StoredForms.h"
#include "core/support/UserDefaults.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QThread>

#include <memory>
#include <vector>

namespace {

QDateTime localTime(int year, int month, int day, int hour = 12, int minute = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute));
}

struct SettableClock
{
    QDateTime now;
    CodeFixStatistics::Clock function()
    {
        return [this] {
            return now;
        };
    }
};

} // namespace

class TestCodeFixStatistics : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    void fixesOfOneDayAndLanguageShareARecord()
    {
        SettableClock clock{localTime(2026, 12, 5, 9)};
        CodeFixStatistics statistics;
        statistics.setClock(clock.function());
        QSignalSpy changed(&statistics, &CodeFixStatistics::dailyFixesChanged);

        statistics.recordFix(QStringLiteral("Swift"));
        clock.now = localTime(2026, 12, 5, 23, 59);
        statistics.recordFix(QStringLiteral("Swift"));
        statistics.recordFix(QStringLiteral("Kotlin"));
        clock.now = localTime(2026, 12, 6, 0, 1);
        statistics.recordFix(QStringLiteral("Swift"));

        QCOMPARE(changed.size(), 4);
        const QDateTime dec5 = QDate(2026, 12, 5).startOfDay();
        const QDateTime dec6 = QDate(2026, 12, 6).startOfDay();
        QCOMPARE(statistics.dailyFixes(), (QList<DailyFix>{{dec5, 2, QStringLiteral("Swift")},
                                                           {dec5, 1, QStringLiteral("Kotlin")},
                                                           {dec6, 1, QStringLiteral("Swift")}}));

        CodeFixStatistics reloaded;
        QCOMPARE(reloaded.dailyFixes(), statistics.dailyFixes());
    }

    void fixesFromManyThreadsAreAllCountedOnce()
    {
        CodeFixStatistics statistics;
        constexpr int kThreads = 4;
        constexpr int kFixesEach = 50;
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back(QThread::create([&statistics] {
                for (int i = 0; i < kFixesEach; ++i)
                    statistics.recordFix(QStringLiteral("C++"));
            }));
            threads.back()->start();
        }
        for (auto &thread : threads)
            QVERIFY(thread->wait(10000));
        QTRY_COMPARE(statistics.dailyFixes().value(0).count, kThreads * kFixesEach);
        QCOMPARE(statistics.dailyFixes().size(), 1);
        QCOMPARE(CodeFixStatistics::decode(
                     UserDefaults::value(CodeFixStatistics::storageKey).toByteArray())
                     ->first()
                     .count,
                 kThreads * kFixesEach);
    }

    void lastYearFollowsTheCalendar()
    {
        SettableClock clock{localTime(2025, 3, 1, 15)};
        CodeFixStatistics statistics;
        statistics.setClock(clock.function());
        const auto day = [](int y, int m, int d) {
            return QDate(y, m, d).startOfDay();
        };
        statistics.setDailyFixes({{day(2024, 2, 29), 1, QStringLiteral("Swift")},
                                  {day(2024, 3, 1), 2, QStringLiteral("Swift")},
                                  {day(2025, 3, 1), 3, QStringLiteral("C++")},
                                  {day(2025, 3, 4), 4, QStringLiteral("C++")}});
        const QList<DailyFix> lastYear = statistics.lastYearFixes();
        QCOMPARE(lastYear.size(), 3);
        QCOMPARE(lastYear[0].date, day(2024, 3, 1));
        // Records after today (a clock set back) still count.
        QCOMPARE(lastYear[2].date, day(2025, 3, 4));
    }

    void storedFormUsesReferenceDateNumbers()
    {
        const QDateTime start = QDate(2026, 12, 5).startOfDay();
        const QByteArray original =
            QStringLiteral(R"([{"count":7,"date":%1,"language":"Objective-C"}])")
                .arg(StoredForms::dateNumber(start), 0, 'f', 1)
                .toUtf8();
        UserDefaults::setValue(CodeFixStatistics::storageKey, original);
        CodeFixStatistics statistics;
        QCOMPARE(statistics.dailyFixes(),
                 (QList<DailyFix>{{start, 7, QStringLiteral("Objective-C")}}));

        const QJsonObject written =
            QJsonDocument::fromJson(CodeFixStatistics::encode(statistics.dailyFixes()))
                .array()
                .first()
                .toObject();
        QCOMPARE(written.value(QStringLiteral("date")).toDouble(), StoredForms::dateNumber(start));
        QCOMPARE(written.value(QStringLiteral("count")).toInt(), 7);
    }

    void garbageReadsEmptyAndIsReplacedAtTheNextFix()
    {
        UserDefaults::setValue(CodeFixStatistics::storageKey, QByteArray("{\"nope\":1}"));
        CodeFixStatistics statistics;
        QVERIFY(statistics.dailyFixes().isEmpty());
        statistics.recordFix(QStringLiteral("Kotlin"));
        QCOMPARE(CodeFixStatistics().dailyFixes().size(), 1);
    }
};

SPRUCER_TEST_MAIN(TestCodeFixStatistics)
#include "TestCodeFixStatistics.moc"
