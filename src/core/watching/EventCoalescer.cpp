// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/EventCoalescer.h"

#include <utility>

EventCoalescer::EventCoalescer(std::chrono::milliseconds latency, Timer timer, Deliver deliver)
    : m_latency(latency)
    , m_timer(std::move(timer))
    , m_deliver(std::move(deliver))
{}

void EventCoalescer::add(const QString &path)
{
    if (m_seen.contains(path))
        return;
    m_seen.insert(path);
    m_pending.append(path);
    if (!m_armed) {
        m_armed = true;
        m_timer.start(m_latency);
    }
}

void EventCoalescer::add(const QStringList &paths)
{
    for (const QString &path : paths)
        add(path);
}

void EventCoalescer::fire()
{
    // A stopped timer may still have a tick in flight; it must not deliver a later period early.
    if (!m_armed)
        return;
    m_armed = false;
    const QStringList paths = std::exchange(m_pending, {});
    m_seen.clear();
    if (!paths.isEmpty())
        m_deliver(paths);
}

void EventCoalescer::cancel()
{
    if (m_armed)
        m_timer.stop();
    m_armed = false;
    m_pending.clear();
    m_seen.clear();
}
