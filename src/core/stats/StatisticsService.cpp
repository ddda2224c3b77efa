// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stats/StatisticsService.h"

#include "core/model/FixOutcome.h"

void StatisticsService::record(const FixOutcome &outcome)
{
    if (!outcome.changed())
        return;
    // A file formatted with a configuration no watcher uses (from the command line) is a fix of
    // its language that day, but no watcher's: a record under the null id would be counted for
    // nobody and kept for ever.
    if (!outcome.watcherId.isNull())
        m_counters.incrementCount(outcome.watcherId);
    m_daily.recordFix(outcome.language);
}
