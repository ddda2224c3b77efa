// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

// The fixes of one language on one day.
struct DailyFix
{
    QDateTime date; // the start of the day, local time
    qint64 count = 0;
    QString language; // "Swift", "C++", "Objective-C" or "Kotlin"

    friend bool operator==(const DailyFix &, const DailyFix &) = default;
};
