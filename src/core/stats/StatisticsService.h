// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/stats/CodeFixStatistics.h"
#include "core/stats/CounterStore.h"

struct FixOutcome;

// Where fixes are counted: per watcher ("fixedCountKey3") and per day and language
// ("sprucerDailyStats"), both from the one outcome of each file. Main thread.
class StatisticsService
{
public:
    explicit StatisticsService(UserDefaults &settings)
        : m_counters(settings)
        , m_daily(settings)
    {}
    StatisticsService(const StatisticsService &) = delete;
    StatisticsService &operator=(const StatisticsService &) = delete;

    // Only a file the tool changed is a fix.
    void record(const FixOutcome &outcome);

    CounterStore &counters() { return m_counters; }
    CodeFixStatistics &daily() { return m_daily; }

private:
    CounterStore m_counters;
    CodeFixStatistics m_daily;
};
