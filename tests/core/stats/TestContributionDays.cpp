// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stats/ContributionDays.h"
#include "core/support/DateStyles.h"
#include "support/TestMain.h"

#include <limits>

using namespace Qt::StringLiterals;

// The days, counts and shades the activity chart draws.
class TestContributionDays : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aYearBackWhateverTheWeekdayBothEndsIncluded()
    {
        const auto span = [](QDate today) {
            const QList<QDate> dates = ContributionDays::dates(today);
            return std::tuple(dates.size(), dates.first(), dates.last());
        };
        QCOMPARE(span(QDate(2024, 3, 1)), std::tuple(367, QDate(2023, 3, 1), QDate(2024, 3, 1)));
        QCOMPARE(span(QDate(2025, 3, 1)), std::tuple(366, QDate(2024, 3, 1), QDate(2025, 3, 1)));
        QCOMPARE(span(QDate(2024, 2, 29)), std::tuple(367, QDate(2023, 2, 28), QDate(2024, 2, 29)));

        // The last second of a day and the first of the next.
        const QDate march1(2025, 3, 1);
        const ContributionDays before({}, QDateTime(march1, QTime(23, 59, 59, 999)));
        const ContributionDays after({}, march1.addDays(1).startOfDay());
        QCOMPARE(before.days().first().date, QDate(2024, 3, 1));
        QCOMPARE(before.days().last().date, march1);
        QCOMPARE(after.days().first().date, QDate(2024, 3, 2));
        QCOMPARE(after.days().last().date, QDate(2025, 3, 2));
    }

    void aDayCountsEveryLanguageAndRecordOfItsCalendarDay()
    {
        const QDate today(2025, 3, 1);
        const QDate firstDay(2024, 3, 1);
        const auto at = [](QDate day, QTime time = QTime(0, 0)) {
            return QDateTime(day, time);
        };
        const QList<DailyFix> fixes = {
            {at(today), 2, u"Swift"_s},
            {at(today, QTime(23, 59, 59)), 1, u"Kotlin"_s},
            {at(today).toUTC(), 4, u"C++"_s}, // read back from storage in UTC
            {at(today.addDays(-1)), 5, u"Swift"_s},
            {at(firstDay), 8, u"Objective-C"_s},       // exactly a year old
            {at(firstDay.addDays(-1)), 9, u"Swift"_s}, // older
            {at(today.addDays(1)), 6, u"Swift"_s},     // after today: the clock was set back
            {QDateTime(), 7, u"Swift"_s},
        };
        const ContributionDays year(fixes, at(today, QTime(15, 30)));
        const QList<ContributionDay> &days = year.days();
        QCOMPARE(days.last(), (ContributionDay{today, 7}));
        QCOMPARE(days.at(days.size() - 2), (ContributionDay{today.addDays(-1), 5}));
        QCOMPARE(days.first(), (ContributionDay{firstDay, 8}));
        QCOMPARE(year.total(), 20);
        QCOMPARE(year.summary(), u"20 fixes in the last year; today 7"_s);

        // A damaged stored record neither takes fixes away nor overflows the sum.
        constexpr qint64 largest = std::numeric_limits<qint64>::max();
        const ContributionDays damaged(
            {{at(today), -3, u"Swift"_s}, {at(today), largest, u"C++"_s}, {at(today), 2, u"C++"_s}},
            at(today));
        QCOMPARE(damaged.days().last().count, largest);
        QCOMPARE(damaged.days().at(0).count, 0);
    }

    void shadesDeepenInStepsOfThree()
    {
        using Hue = ContributionDays::Hue;
        const QList<std::pair<qint64, ContributionDays::Shade>> expected = {
            {0, {Hue::gray, 0.1}},  {3, {Hue::green, 0.3}}, {4, {Hue::green, 0.5}},
            {6, {Hue::green, 0.5}}, {7, {Hue::green, 0.7}}, {9, {Hue::green, 0.7}},
            {10, {Hue::green, 1.0}}};
        for (const auto &[count, shade] : expected)
            QCOMPARE(ContributionDays::shade(count), shade);
    }

    void aDayReadsAsItsCountOnItsMediumDate()
    {
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(ContributionDays::describe({QDate(2025, 3, 1), 3}, us),
                 u"3 fixes on Mar 1, 2025"_s);
        QCOMPARE(ContributionDays::describe({QDate(2025, 12, 25), 1}, us),
                 u"1 fixes on Dec 25, 2025"_s);
        QCOMPARE(ContributionDays::describe({QDate(2025, 3, 1), 12345}, us),
                 u"12345 fixes on Mar 1, 2025"_s);
        // Without the weekday and its comma, but with what is part of the date itself.
        const QDate march1(2025, 3, 1);
        QCOMPARE(DateStyles::medium(march1, QLocale(QLocale::German, QLocale::Germany)),
                 u"1. März 2025"_s);
        QCOMPARE(DateStyles::medium(march1, QLocale(QLocale::Japanese, QLocale::Japan)),
                 u"2025年3月1日"_s);
        QCOMPARE(DateStyles::medium(march1, QLocale(QLocale::Spanish, QLocale::Spain)),
                 u"1 de mar de 2025"_s);
    }
};

SPRUCER_TEST_MAIN(TestContributionDays)
#include "TestContributionDays.moc"
