// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/FixOutcome.h"

#include <QHash>
#include <QObject>
#include <QUuid>

class NotificationCenter;

// How far each watcher's files under way are, from what the fix pipeline hands over and
// finishes; it also posts "fileProcessingStarted" and "fileProcessingComplete" for each
// delivery. Main thread.
class FixProgress : public QObject
{
    Q_OBJECT

public:
    // Files done of files handed over; 0 of 0 when none is under way.
    struct Progress
    {
        qsizetype done = 0;
        qsizetype total = 0;
    };

    explicit FixProgress(NotificationCenter &notifications, QObject *parent = nullptr);

    Progress progress(const QUuid &watcherId) const { return m_progress.value(watcherId); }

    void handedOver(const QUuid &watcherId, qsizetype count);
    void finished(const FixOutcome &outcome);

Q_SIGNALS:
    // After each file and each new delivery; 0 of 0 once the watcher's work is done.
    void progressChanged(const QUuid &watcherId, qsizetype done, qsizetype total);

private:
    NotificationCenter &m_notifications;
    QHash<QUuid, Progress> m_progress;
};
