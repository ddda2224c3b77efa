// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stats/ContributionDays.h"

#include "core/support/DateStyles.h"

#include <QHash>

#include <limits>

namespace {

// Stored records are read back from a file the user can edit: a negative count adds nothing
// and a sum too large for 64 bits stops at the largest, rather than overflowing.
qint64 plus(qint64 sum, qint64 count)
{
    constexpr qint64 largest = std::numeric_limits<qint64>::max();
    if (count <= 0)
        return sum;
    return sum > largest - count ? largest : sum + count;
}

QHash<QDate, qint64> countsByDay(const QList<DailyFix> &fixes)
{
    QHash<QDate, qint64> counts;
    for (const DailyFix &fix : fixes) {
        if (!fix.date.isValid())
            continue;
        qint64 &count = counts[fix.date.toLocalTime().date()];
        count = plus(count, fix.count);
    }
    return counts;
}

} // namespace

ContributionDays::ContributionDays(const QList<DailyFix> &fixes, const QDateTime &now)
{
    const QHash<QDate, qint64> counts = countsByDay(fixes);
    const QList<QDate> all = dates(now.toLocalTime().date());
    m_days.reserve(all.size());
    for (const QDate date : all)
        m_days.append(ContributionDay{date, counts.value(date)});
}

qint64 ContributionDays::total() const
{
    qint64 sum = 0;
    for (const ContributionDay &day : m_days)
        sum = plus(sum, day.count);
    return sum;
}

QString ContributionDays::summary() const
{
    const qint64 today = m_days.isEmpty() ? 0 : m_days.last().count;
    return QStringLiteral("%1 fixes in the last year; today %2")
        .arg(QString::number(total()), QString::number(today));
}

// Calendar steps, not 24-hour ones, so a change of summer time never skips or repeats a day.
QList<QDate> ContributionDays::dates(QDate today)
{
    QList<QDate> result;
    if (!today.isValid())
        return result;
    for (QDate day = today.addYears(-1); day <= today; day = day.addDays(1))
        result.append(day);
    return result;
}

ContributionDays::Shade ContributionDays::shade(qint64 count)
{
    if (count <= 0)
        return {Hue::gray, 0.1};
    if (count <= 3)
        return {Hue::green, 0.3};
    if (count <= 6)
        return {Hue::green, 0.5};
    if (count <= 9)
        return {Hue::green, 0.7};
    return {Hue::green, 1.0};
}

QString ContributionDays::describe(const ContributionDay &day, const QLocale &locale)
{
    return QString::number(day.count) + QStringLiteral(" fixes on ") +
           DateStyles::medium(day.date, locale);
}
