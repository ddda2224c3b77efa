// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/FixWorkers.h"

#include "core/formatting/FixBatching.h"

#include <QDeadlineTimer>

#include <atomic>

// A save waits in the pool's queue and, once given to a spare, in the spares' queue too: the
// first worker to reach it runs it, the other finds nothing left.
struct FixWorkers::Save
{
    std::atomic<bool> taken{false};
    std::function<void()> task;

    std::function<void()> take()
    {
        if (taken.exchange(true))
            return {};
        return std::move(task);
    }
};

FixWorkers::FixWorkers(std::chrono::milliseconds heldLong)
    : m_heldLong(heldLong)
{
    m_watchdog.setSingleShot(true);
    QObject::connect(&m_watchdog, &QTimer::timeout, [this] { watch(); });
    m_pool.setObjectName(QStringLiteral("com.sprucer.processing"));
    m_spares.setObjectName(QStringLiteral("com.sprucer.processing.saves"));
    m_pool.setMaxThreadCount(FixBatching::workerCount());
    m_spares.setMaxThreadCount(spareCount);
}

FixWorkers::~FixWorkers()
{
    waitForDone();
}

void FixWorkers::start(std::function<void()> task, Lane lane)
{
    // Held while starting, so nothing is queued behind `close`'s back.
    QMutexLocker lock(&m_mutex);
    if (m_closed)
        return;
    if (lane != Lane::save) {
        m_pool.start([this, task = std::move(task)] { runInPool(task); },
                     lane == Lane::bulk ? 0 : 1);
        return;
    }
    auto save = std::make_shared<Save>();
    save->task = std::move(task);
    m_waiting.append(save);
    m_pool.start(
        [this, save] {
            if (const std::function<void()> claimed = save->take())
                runInPool(claimed);
        },
        1);
    QMetaObject::invokeMethod(
        &m_watchdog, [this] { watch(); }, Qt::QueuedConnection);
}

void FixWorkers::runInPool(const std::function<void()> &task)
{
    std::multiset<Clock::time_point>::iterator began;
    {
        QMutexLocker lock(&m_mutex);
        began = m_began.insert(Clock::now());
    }
    task();
    QMutexLocker lock(&m_mutex);
    m_began.erase(began);
}

// Hands the waiting saves to the spares once the pool's youngest work is old enough, or looks
// again when it will be.
void FixWorkers::watch()
{
    QMutexLocker lock(&m_mutex);
    m_waiting.removeIf([](const std::shared_ptr<Save> &save) { return save->taken.load(); });
    if (m_closed || m_waiting.isEmpty())
        return;
    auto wait = m_heldLong;
    if (qsizetype(m_began.size()) >= m_pool.maxThreadCount()) {
        const auto held = Clock::now() - *m_began.rbegin();
        if (held >= m_heldLong) {
            handWaitingToSpares();
            return;
        }
        wait = std::chrono::ceil<std::chrono::milliseconds>(m_heldLong - held);
    }
    m_watchdog.start(wait);
}

void FixWorkers::handWaitingToSpares()
{
    // The newest first: when hung files hold the spares too, the user's latest save is the one
    // to go next, not the older saves of those files.
    for (const std::shared_ptr<Save> &save : std::as_const(m_waiting)) {
        m_spares.start(
            [save] {
                if (const std::function<void()> claimed = save->take())
                    claimed();
            },
            ++m_handedToSpares);
    }
    m_waiting.clear();
}

void FixWorkers::close()
{
    {
        QMutexLocker lock(&m_mutex);
        m_closed = true;
        m_waiting.clear();
    }
    m_pool.clear();
    m_spares.clear();
}

bool FixWorkers::waitForDone(std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline =
        timeout.count() < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeout);
    return m_pool.waitForDone(int(deadline.remainingTime())) &&
           m_spares.waitForDone(int(deadline.remainingTime()));
}
