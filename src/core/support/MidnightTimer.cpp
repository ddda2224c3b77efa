// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/MidnightTimer.h"

#include <QTimer>

#include <algorithm>

MidnightTimer::MidnightTimer(Clock clock, QObject *parent)
    : QObject(parent)
    , m_clock(clock ? std::move(clock) : [] { return QDateTime::currentDateTime(); })
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    // A coarse timer may fire 5% early: over a day, more than an hour before midnight.
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, [this] {
        arm();
        Q_EMIT dayBegan();
    });
}

void MidnightTimer::start()
{
    arm();
}

void MidnightTimer::stop()
{
    m_timer->stop();
}

bool MidnightTimer::isActive() const
{
    return m_timer->isActive();
}

int MidnightTimer::interval() const
{
    return m_timer->interval();
}

int MidnightTimer::msecsToMidnight(const QDateTime &now)
{
    const QDateTime local = now.toLocalTime();
    const qint64 wait = local.msecsTo(local.date().addDays(1).startOfDay());
    constexpr qint64 second = 1000;
    constexpr qint64 longestDay = qint64{25} * 3600 * second; // the day summer time ends
    return int(std::clamp(wait, second, longestDay));
}

void MidnightTimer::arm()
{
    m_timer->start(msecsToMidnight(m_clock()));
}
