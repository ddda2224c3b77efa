// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>

// Which reported files need a run. The watch reports the pipeline's own writes like saves: within
// the window after its run, a file is an echo while it holds exactly the version the run left. A
// file reported while its run is under way is looked at again when that run ends, never twice at
// once. Each taken path belongs to the delivery that took it last, so a late release never frees
// a path a newer delivery took again. Any thread.
class EchoFilter
{
public:
    enum class Verdict
    {
        taken,    // the delivery runs it
        underWay, // a run holds it; it is looked at again when that run settles
        echo,     // it holds what the last run left: formatted already
    };

    // A number for a new delivery, greater than every earlier one.
    quint64 newDelivery();
    Verdict take(const QString &path, quint64 delivery);
    // The delivery's run of `path` left `fingerprint` (empty: unknown). True when the path was
    // reported while the run was under way, and must be looked at again.
    bool settle(const QString &path, quint64 delivery, const QByteArray &fingerprint);
    // The window is over: the paths the delivery still holds may be run again.
    void release(const QStringList &paths, quint64 delivery);

private:
    struct PathRecord
    {
        quint64 delivery = 0;
        bool inFlight = true;
        bool reportedWhileInFlight = false;
        QByteArray fingerprint; // of the version left; empty when unknown
    };

    QMutex m_mutex;
    QHash<QString, PathRecord> m_records;
    quint64 m_lastDelivery = 0;
};
