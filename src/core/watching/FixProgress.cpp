// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/FixProgress.h"

#include "core/support/NotificationCenter.h"

FixProgress::FixProgress(NotificationCenter &notifications, QObject *parent)
    : QObject(parent)
    , m_notifications(notifications)
{}

void FixProgress::handedOver(const QUuid &watcherId, qsizetype count)
{
    Progress &progress = m_progress[watcherId];
    progress.total += count;
    Q_EMIT progressChanged(watcherId, progress.done, progress.total);
    m_notifications.post(NotificationCenter::fileProcessingStartedName,
                         {{NotificationCenter::watcherIdKey, watcherId}});
}

void FixProgress::finished(const FixOutcome &outcome)
{
    const QUuid &watcherId = outcome.watcherId;
    if (const auto found = m_progress.find(watcherId); found != m_progress.end()) {
        const Progress progress{++found->done, found->total};
        const bool allDone = progress.done >= progress.total;
        if (allDone)
            m_progress.erase(found);
        Q_EMIT progressChanged(watcherId, allDone ? 0 : progress.done,
                               allDone ? 0 : progress.total);
    }
    if (outcome.lastOfDelivery) {
        m_notifications.post(NotificationCenter::fileProcessingCompleteName,
                             {{NotificationCenter::watcherIdKey, watcherId}});
    }
}
