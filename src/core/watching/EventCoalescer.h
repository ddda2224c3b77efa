// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

// Gathers the paths of file events into one delivery per quiet period: the first path after a
// delivery arms the latency; when it runs out, every path gathered since is handed on once, in
// order of first occurrence. Later paths do not push the delivery back, so a steady stream of
// changes is still delivered once per latency.
//
// Holds no timer of its own: it asks its owner to arm one and is told when it fires, so the
// logic runs without a clock in tests. Not thread-safe; the directory monitor keeps it on the
// watch queue.
class EventCoalescer
{
public:
    struct Timer
    {
        // Must lead to one call of fire() after the given time, unless stop() comes first.
        std::function<void(std::chrono::milliseconds)> start;
        std::function<void()> stop;
    };
    using Deliver = std::function<void(const QStringList &paths)>;

    EventCoalescer(std::chrono::milliseconds latency, Timer timer, Deliver deliver);

    void add(const QString &path);
    void add(const QStringList &paths);

    // The latency has run out: delivers what was gathered. Paths added by the delivery itself
    // start the next quiet period.
    void fire();

    // Drops what was gathered and disarms the timer.
    void cancel();

    bool isArmed() const { return m_armed; }
    qsizetype pendingCount() const { return m_pending.size(); }

private:
    std::chrono::milliseconds m_latency;
    Timer m_timer;
    Deliver m_deliver;
    QStringList m_pending;
    QSet<QString> m_seen;
    bool m_armed = false;
};
