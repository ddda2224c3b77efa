// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/DailyFix.h"

#include <QDate>
#include <QList>
#include <QLocale>

// One square of the activity chart: a calendar day and the fixes of every language on it.
struct ContributionDay
{
    QDate date;
    qint64 count = 0;

    friend bool operator==(const ContributionDay &, const ContributionDay &) = default;
};

// The year of fixes the activity chart draws: each day from a calendar year before today
// through today, both included (366 days, 367 when 29 February is among them), with its count.
class ContributionDays
{
public:
    enum class Hue
    {
        gray,
        green
    };
    // A day's fill: the hue at an opacity.
    struct Shade
    {
        Hue hue = Hue::gray;
        double opacity = 0.1;

        friend bool operator==(const Shade &, const Shade &) = default;
    };

    ContributionDays() = default;
    // Today is the local calendar day of `now`; records outside the year count nowhere.
    ContributionDays(const QList<DailyFix> &fixes, const QDateTime &now);

    const QList<ContributionDay> &days() const { return m_days; }
    qint64 total() const;
    // "1204 fixes in the last year; today 5", for screen readers.
    QString summary() const;

    // The chart's days for `today`, oldest first.
    static QList<QDate> dates(QDate today);
    static Shade shade(qint64 count);
    // "3 fixes on Mar 1, 2025" in en_US.
    static QString describe(const ContributionDay &day, const QLocale &locale = QLocale());

private:
    QList<ContributionDay> m_days;
};
