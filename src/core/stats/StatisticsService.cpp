// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stats/StatisticsService.h"

#include "core/model/FixOutcome.h"

void StatisticsService::record(const FixOutcome &outcome)
{
    if (!outcome.changed())
        return;
    m_counters.incrementCount(outcome.watcherId);
    m_daily.recordFix(outcome.language);
}
