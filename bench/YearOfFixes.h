// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/DailyFix.h"

#include <QDate>
#include <QList>
#include <QString>

// A full year of statistics, as a user who fixes every day in four languages has.
namespace YearOfFixes {

inline const QString languages[] = {QStringLiteral("Swift"), QStringLiteral("C++"),
                                    QStringLiteral("Objective-C"), QStringLiteral("Kotlin")};

// Every day of the year before today, in every language, in every shade: 1,460 records.
inline QList<DailyFix> records()
{
    const QDate today = QDate::currentDate();
    QList<DailyFix> fixes;
    for (int back = 0; back < 365; ++back) {
        for (int language = 0; language < 4; ++language)
            fixes.append({today.addDays(-back).startOfDay(), 1 + (back + language) % 12,
                          languages[language]});
    }
    return fixes;
}

} // namespace YearOfFixes
