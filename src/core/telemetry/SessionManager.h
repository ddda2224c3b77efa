// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QUuid>

class TelemetryDefaultsStore;

// The session history behind the retention parameters: recent sessions (start and duration),
// the first session's date, the days of use and how many sessions aged out. One session runs
// per launch of the program. Lives on the client's thread, as does its store.
// The running session's duration is taken from the clock when it is read, so no timer keeps
// it: an agent at rest is never woken for it.
class SessionManager : public QObject
{
    Q_OBJECT

public:
    // Sessions that started longer ago than this are forgotten and only counted.
    static constexpr qint64 retentionSeconds = qint64{90} * 24 * 60 * 60;

    explicit SessionManager(TelemetryDefaultsStore *store, QObject *parent = nullptr);

    // Reads the history, forgets what aged out and starts recording a session under `id`.
    // True when no session was ever recorded before: a new install.
    bool startNewSession(const QUuid &id, const QDateTime &now = QDateTime::currentDateTime());
    // Writes the running session's duration; called on the way out.
    void persist();
    // The client woke for a signal: a duration not written for a minute is written now, so a
    // process that dies loses at most the time since its last signal or minute of use.
    void recordActivity();

    QUuid sessionID() const { return m_sessionID; }
    QString firstSessionDate() const { return m_firstSessionDate; }
    // The retention and acquisition parameters added to every signal.
    QMap<QString, QString> parameters() const;

private:
    struct Session
    {
        QDateTime start;
        qint64 durationSeconds = 0;
    };

    void load(const QDateTime &now);
    void updateDuration();

    TelemetryDefaultsStore *m_store;
    bool m_running = false;
    QUuid m_sessionID;
    QList<Session> m_recentSessions; // the running session last
    QString m_firstSessionDate;
    QStringList m_distinctDaysUsed;
    qint64 m_deletedSessionsCount = 0;
    qint64 m_persistedDuration = 0;
};
