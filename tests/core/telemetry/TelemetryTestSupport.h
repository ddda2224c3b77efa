// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/telemetry/SignalPostBody.h"
#include "core/telemetry/TelemetryLog.h"

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QTimeZone>

#include <memory>

// Collects the analytics client's log lines; the client writes them from its own thread.
class LogCapture
{
public:
    TelemetryLogger::Handler handler()
    {
        return [state = m_state](TelemetryLogLevel, const QString &line) {
            QMutexLocker lock(&state->mutex);
            state->lines.append(line);
        };
    }

    QStringList lines() const
    {
        QMutexLocker lock(&m_state->mutex);
        return m_state->lines;
    }

    QStringList linesContaining(const QString &text) const { return lines().filter(text); }

    void clear()
    {
        QMutexLocker lock(&m_state->mutex);
        m_state->lines.clear();
    }

private:
    struct State
    {
        QMutex mutex;
        QStringList lines;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

// A distinct, fully formed body; `index` shows up in its type.
inline SignalPostBody sampleBody(int index)
{
    SignalPostBody body;
    body.receivedAt = QDateTime(QDate(2025, 1, 31), QTime(14, 5, 9), QTimeZone(3600));
    body.appID = QStringLiteral("6F1C2B9E-4D3A-4E7B-9A15-C08D2E7F3B41");
    body.clientUser = QStringLiteral("ab12");
    body.sessionID = QUuid::fromString(QStringLiteral("0E6A7D3C-1B2F-4A5E-8C9D-0F1E2D3C4B5A"));
    body.type = QStringLiteral("Signal%1").arg(index);
    body.payload = {{QStringLiteral("index"), QString::number(index)}};
    return body;
}

inline QList<SignalPostBody> sampleBodies(int first, int count)
{
    QList<SignalPostBody> bodies;
    for (int i = first; i < first + count; ++i)
        bodies.append(sampleBody(i));
    return bodies;
}
