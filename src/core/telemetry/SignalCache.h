// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/telemetry/SignalPostBody.h"
#include "core/telemetry/TelemetryLog.h"

#include <QList>
#include <QMutex>

// The signals not yet delivered, oldest first. Safe to use from any thread.
// It never holds more than its maximum: past it the oldest signals are dropped, so an endpoint
// that stays unreachable cannot make it grow without bound.
class SignalCache
{
public:
    static constexpr int maximumNumberOfSignalsToPopAtOnce = 100;

    SignalCache(TelemetryLogger logger, int maximumCount);
    SignalCache(const SignalCache &) = delete;
    SignalCache &operator=(const SignalCache &) = delete;

    void push(const SignalPostBody &body);
    // Returns a batch that could not be delivered; it goes to the front, ahead of newer signals.
    void putBack(const QList<SignalPostBody> &batch);
    // Takes up to `maximumNumberOfSignalsToPopAtOnce` of the oldest signals.
    QList<SignalPostBody> pop();

    int count() const;
    QList<SignalPostBody> snapshot() const;

    // Puts the signals of the cache file ahead of those in memory and deletes the file.
    void loadFromFile(const QString &path);
    // Writes every cached signal to the file, keeping what another instance left there.
    // With nothing cached there is nothing to write.
    bool saveToFile(const QString &path);

private:
    void enforceLimitLocked();

    TelemetryLogger m_logger;
    const int m_maximumCount;
    mutable QMutex m_mutex;
    QList<SignalPostBody> m_cachedSignals;
    bool m_dropping = false;
};
