// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QMutex>
#include <QThreadPool>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <set>

// The pipeline's threads: a pool for all work, and a few spare workers that only a user's save
// may take, once every worker of the pool has been held for a while (by a hung tool, or by bulk
// work). So a save never waits behind runs that may each take a minute, and the spares stay
// few, since they are only for saves.
//
// `start` may be called on any thread. The watch over waiting saves runs on the thread the
// workers were made on, the main thread.
class FixWorkers
{
public:
    enum class Lane
    {
        bulk,  // in the order given
        ahead, // before the bulk work not yet begun
        save,  // ahead, and on a spare worker when the pool's are all held
    };

    static constexpr int spareCount = 4;

    // `heldLong`: how long work must have held every worker of the pool before a save waiting
    // for one is handed to a spare.
    explicit FixWorkers(std::chrono::milliseconds heldLong);
    ~FixWorkers();

    void start(std::function<void()> task, Lane lane);
    int threadCount() const { return m_pool.maxThreadCount(); }
    void setThreadCount(int count) { m_pool.setMaxThreadCount(count); }
    // Drops the work not yet begun, and starts none from now on.
    void close();
    // Whether all work begun ended within `timeout`; negative: waits for it all.
    bool waitForDone(std::chrono::milliseconds timeout = std::chrono::milliseconds(-1));

private:
    struct Save;
    using Clock = std::chrono::steady_clock;

    void runInPool(const std::function<void()> &task);
    void watch();
    void handWaitingToSpares(); // with the mutex held

    const std::chrono::milliseconds m_heldLong;
    QTimer m_watchdog; // main thread
    QMutex m_mutex;
    bool m_closed = false;
    std::multiset<Clock::time_point> m_began; // of the work running in the pool
    QList<std::shared_ptr<Save>> m_waiting;   // saves not yet begun nor given to a spare
    int m_handedToSpares = 0;                 // the priority of the latest, in the spares' queue
    // Last, so they are gone before what their work uses.
    QThreadPool m_pool;
    QThreadPool m_spares;
};
