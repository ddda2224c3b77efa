// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/SessionManager.h"

#include "core/support/StoredForms.h"
#include "core/telemetry/TelemetryDefaultsStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString kRecentSessions = QStringLiteral("recentSessions");
const QString kFirstSessionDate = QStringLiteral("firstSessionDate");
const QString kDistinctDaysUsed = QStringLiteral("distinctDaysUsed");
const QString kDeletedSessionsCount = QStringLiteral("deletedSessionsCount");

// A running session's duration is written at most this often: a settings file rewritten for
// every signal would wear the disk for nothing.
constexpr qint64 kPersistEverySeconds = 60;

QString dayText(const QDateTime &date)
{
    return date.toLocalTime().date().toString(Qt::ISODate);
}

QJsonDocument storedJson(const QVariant &value)
{
    return QJsonDocument::fromJson(value.toByteArray());
}

} // namespace

SessionManager::SessionManager(TelemetryDefaultsStore *store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{}

void SessionManager::load(const QDateTime &now)
{
    m_recentSessions.clear();
    const QDateTime oldestKept = now.addSecs(-retentionSeconds);
    qint64 agedOut = 0;
    for (const QJsonValue value : storedJson(m_store->value(kRecentSessions)).array()) {
        const QJsonObject object = value.toObject();
        const auto start = StoredForms::dateField(object, QStringLiteral("st"));
        const auto duration = StoredForms::integerField(object, QStringLiteral("dn"));
        if (!start || !duration)
            continue;
        const QDateTime &startDate = *start;
        if (startDate < oldestKept)
            ++agedOut;
        else
            m_recentSessions.append(Session{startDate, std::max<qint64>(*duration, 0)});
    }
    m_firstSessionDate = m_store->value(kFirstSessionDate).toString();
    m_distinctDaysUsed.clear();
    for (const QJsonValue value : storedJson(m_store->value(kDistinctDaysUsed)).array()) {
        if (value.isString())
            m_distinctDaysUsed.append(value.toString());
    }
    m_deletedSessionsCount = m_store->value(kDeletedSessionsCount).toLongLong() + agedOut;
}

bool SessionManager::startNewSession(const QUuid &id, const QDateTime &now)
{
    persist();
    load(now);
    const bool firstEver = m_firstSessionDate.isEmpty() && m_recentSessions.isEmpty();
    if (m_firstSessionDate.isEmpty()) {
        m_firstSessionDate = dayText(now);
        m_store->setValue(kFirstSessionDate, m_firstSessionDate);
    }
    const QString today = dayText(now);
    if (!m_distinctDaysUsed.contains(today)) {
        m_distinctDaysUsed.append(today);
        m_store->setValue(kDistinctDaysUsed,
                          QJsonDocument(QJsonArray::fromStringList(m_distinctDaysUsed))
                              .toJson(QJsonDocument::Compact));
    }
    m_store->setValue(kDeletedSessionsCount, m_deletedSessionsCount);
    m_sessionID = id;
    m_recentSessions.append(Session{now, 0});
    m_running = true;
    persist();
    return firstEver;
}

void SessionManager::updateDuration()
{
    if (!m_running || m_recentSessions.isEmpty())
        return;
    Session &current = m_recentSessions.last();
    current.durationSeconds =
        std::max<qint64>(current.start.secsTo(QDateTime::currentDateTime()), 0);
}

void SessionManager::recordActivity()
{
    updateDuration();
    if (!m_recentSessions.isEmpty() &&
        m_recentSessions.last().durationSeconds - m_persistedDuration >= kPersistEverySeconds)
        persist();
}

void SessionManager::persist()
{
    if (m_recentSessions.isEmpty())
        return;
    updateDuration();
    QJsonArray sessions;
    for (const Session &session : std::as_const(m_recentSessions))
        sessions.append(QJsonObject{{QStringLiteral("st"), StoredForms::dateNumber(session.start)},
                                    {QStringLiteral("dn"), session.durationSeconds}});
    m_store->setValue(kRecentSessions, QJsonDocument(sessions).toJson(QJsonDocument::Compact));
    m_persistedDuration = m_recentSessions.last().durationSeconds;
}

QMap<QString, QString> SessionManager::parameters() const
{
    // The running session is still short; averages speak of the finished ones.
    const qsizetype finished = std::max<qsizetype>(m_recentSessions.size() - 1, 0);
    qint64 totalSeconds = 0;
    for (qsizetype i = 0; i < finished; ++i)
        totalSeconds += m_recentSessions[i].durationSeconds;
    const qint64 average = finished > 0 ? totalSeconds / finished : 0;
    const qint64 previous = finished > 0 ? m_recentSessions[finished - 1].durationSeconds : 0;
    const QString days = QString::number(m_distinctDaysUsed.size());
    const QString total = QString::number(m_recentSessions.size() + m_deletedSessionsCount);

    return {
        {QStringLiteral("firstSessionDate"), m_firstSessionDate},
        {QStringLiteral("distinctDaysUsed"), days},
        {QStringLiteral("deletedSessionsCount"), QString::number(m_deletedSessionsCount)},
        {QStringLiteral("TelemetryDeck.Acquisition.firstSessionDate"), m_firstSessionDate},
        {QStringLiteral("TelemetryDeck.Retention.averageSessionSeconds"), QString::number(average)},
        {QStringLiteral("TelemetryDeck.Retention.distinctDaysUsed"), days},
        {QStringLiteral("TelemetryDeck.Retention.previousSessionSeconds"),
         QString::number(previous)},
        {QStringLiteral("TelemetryDeck.Retention.totalSessionsCount"), total},
    };
}
