// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMutex>
#include <QSet>
#include <QString>
#include <QtGlobal>

// Lets a quitting program stop its formatting tools: once `refuseNewRuns` was called no tool
// starts, and `stopRunning` kills the process groups of the runs still under way. Runs enlist
// themselves when they start, so none slips in between. Any thread.
class ToolStop
{
public:
    void refuseNewRuns();
    void stopRunning();
    bool refusesNewRuns() const;
    // Whether runs under way are being killed: a run that ended by a signal was stopped here.
    bool stopsRunning() const;
    // Why a file was left alone once runs were refused or stopped.
    static QString reason() { return QStringLiteral("Sprucer is quitting"); }

    // Whether a run that has started may go on; if not, the caller stops it itself.
    bool enlist(qint64 processGroup);
    void discharge(qint64 processGroup);

private:
    mutable QMutex m_mutex;
    bool m_refusing = false;
    bool m_stopping = false;
    QSet<qint64> m_running;
};
