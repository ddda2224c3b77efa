// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ToolStop.h"

#include <QMutexLocker>

#if defined(Q_OS_UNIX)
#include <csignal>
#endif

void ToolStop::refuseNewRuns()
{
    QMutexLocker lock(&m_mutex);
    m_refusing = true;
}

void ToolStop::stopRunning()
{
    QMutexLocker lock(&m_mutex);
    m_refusing = m_stopping = true;
#if defined(Q_OS_UNIX)
    // Each tool leads its own process group, so whatever it started goes with it.
    for (const qint64 group : std::as_const(m_running))
        ::kill(-pid_t(group), SIGKILL);
#endif
}

bool ToolStop::refusesNewRuns() const
{
    QMutexLocker lock(&m_mutex);
    return m_refusing;
}

bool ToolStop::stopsRunning() const
{
    QMutexLocker lock(&m_mutex);
    return m_stopping;
}

bool ToolStop::enlist(qint64 processGroup)
{
    QMutexLocker lock(&m_mutex);
    if (m_stopping)
        return false;
    m_running.insert(processGroup);
    return true;
}

void ToolStop::discharge(qint64 processGroup)
{
    QMutexLocker lock(&m_mutex);
    m_running.remove(processGroup);
}
