// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/telemetry/SignalCache.h"
#include "core/telemetry/TelemetryManagerConfiguration.h"

#include <QHash>
#include <QObject>

#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// Sends the cached signals to the analytics service in batches, one batch per attempt, and
// puts back every batch that was not delivered. Attempts come every `sendInterval` while the
// cache holds signals; with nothing to send it sleeps until a signal is queued. Lives on one thread
// with an event loop (the client's own; a test's main thread) and must be used from there only. No
// call waits on the network: requests run asynchronously and report back through the event loop.
class SignalManager : public QObject
{
    Q_OBJECT

public:
    SignalManager(TelemetryManagerConfiguration configuration, std::shared_ptr<SignalCache> cache,
                  QObject *parent = nullptr);
    ~SignalManager() override;

    // Loads the cache file and makes one attempt at once.
    void start();
    void attemptToSendNextBatch();
    // A signal was put in the cache: the next attempt comes within `sendInterval`.
    void signalQueued();
    // Stops sending, gives the requests on the wire `shutdownGrace` to finish, puts back what
    // was not delivered, writes the cache file and then calls `done`.
    void stop(std::function<void()> done);

    int requestsInFlight() const { return static_cast<int>(m_inFlight.size()); }
    const std::shared_ptr<SignalCache> &signalCache() const { return m_signalCache; }

Q_SIGNALS:
    // After each request: how many signals it carried and whether the service took them.
    void batchFinished(int count, bool delivered);

private:
    struct InFlight
    {
        quint64 sequence = 0;
        QList<SignalPostBody> batch;
        QByteArray response;
    };

    // Keeps the send rhythm while there is something to send, and no timer otherwise.
    void scheduleNextAttempt();
    void post(const QList<SignalPostBody> &batch);
    void readResponse(QNetworkReply *reply);
    void finish(QNetworkReply *reply);
    void abortRequestsInFlight();
    void finishStopping();

    TelemetryManagerConfiguration m_configuration;
    TelemetryLogger m_logger;
    std::shared_ptr<SignalCache> m_signalCache;
    QTimer *m_sendTimer;
    QTimer *m_graceTimer;
    QNetworkAccessManager *m_network = nullptr;
    QHash<QNetworkReply *, InFlight> m_inFlight;
    quint64 m_nextSequence = 0;
    std::function<void()> m_onStopped;
    bool m_stopping = false;
};
