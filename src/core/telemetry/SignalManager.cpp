// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/SignalManager.h"

#include "core/telemetry/TelemetryError.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>
#include <vector>

SignalManager::SignalManager(TelemetryManagerConfiguration configuration,
                             std::shared_ptr<SignalCache> cache, QObject *parent)
    : QObject(parent)
    , m_configuration(std::move(configuration))
    , m_logger(m_configuration.logger())
    , m_signalCache(std::move(cache))
    , m_sendTimer(new QTimer(this))
    , m_graceTimer(new QTimer(this))
{
    m_sendTimer->setInterval(m_configuration.sendInterval);
    connect(m_sendTimer, &QTimer::timeout, this, &SignalManager::attemptToSendNextBatch);
    m_graceTimer->setSingleShot(true);
    m_graceTimer->setInterval(m_configuration.shutdownGrace);
    connect(m_graceTimer, &QTimer::timeout, this, [this] {
        abortRequestsInFlight();
        finishStopping();
    });
}

SignalManager::~SignalManager()
{
    // Never lose a batch that is still on the wire when the manager goes away.
    abortRequestsInFlight();
}

void SignalManager::start()
{
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    m_signalCache->loadFromFile(m_configuration.cacheFilePath());
    attemptToSendNextBatch();
}

void SignalManager::signalQueued()
{
    if (m_network)
        scheduleNextAttempt();
}

void SignalManager::scheduleNextAttempt()
{
    if (m_stopping || m_signalCache->count() == 0)
        m_sendTimer->stop();
    else if (!m_sendTimer->isActive())
        m_sendTimer->start();
}

void SignalManager::attemptToSendNextBatch()
{
    if (m_stopping || !m_network)
        return;
    m_logger.debug(QStringLiteral("Current signal cache count: %1").arg(m_signalCache->count()));
    const QList<SignalPostBody> batch = m_signalCache->pop();
    if (!batch.isEmpty()) {
        m_logger.debug(QStringLiteral("Sending %1 signals leaving a cache of %2 signals")
                           .arg(batch.size())
                           .arg(m_signalCache->count()));
        post(batch);
    }
    scheduleNextAttempt();
}

void SignalManager::post(const QList<SignalPostBody> &batch)
{
    // Peer verification is Qt's default and is never relaxed here: no sslErrors handler.
    QNetworkRequest request(m_configuration.signalsEndpoint());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setTransferTimeout(static_cast<int>(m_configuration.requestTimeout.count()));
    // A followed 301/302 turns the POST into a GET whose 200 would pass for a delivery.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply *reply = m_network->post(request, SignalPostBody::encodeList(batch));
    m_inFlight.insert(reply, InFlight{m_nextSequence++, batch, {}});
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { readResponse(reply); });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finish(reply); });
}

void SignalManager::readResponse(QNetworkReply *reply)
{
    const auto it = m_inFlight.find(reply);
    if (it == m_inFlight.end())
        return;
    const qint64 room = m_configuration.maximumResponseBytes - it->response.size();
    if (room > 0)
        it->response += reply->read(room);
    // Past the cap the rest is not wanted; the status line has already arrived.
    if (reply->bytesAvailable() > 0)
        reply->abort();
}

void SignalManager::finish(QNetworkReply *reply)
{
    const auto it = m_inFlight.find(reply);
    if (it == m_inFlight.end())
        return;
    const InFlight flight = *it;
    m_inFlight.erase(it);
    reply->deleteLater();

    QString failure;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        if (const auto error = TelemetryError::fromStatusCode(status.toInt()))
            failure = error->description();
    } else {
        // No status: the connection failed, timed out or did not answer in HTTP.
        failure = reply->errorString();
    }

    const auto count = static_cast<int>(flight.batch.size());
    if (failure.isEmpty()) {
        Q_EMIT batchFinished(count, true);
    } else {
        m_logger.error(QStringLiteral("Failed to send signals: ") + failure);
        if (!flight.response.isEmpty())
            m_logger.debug(QStringLiteral("Response: ") +
                           QString::fromUtf8(flight.response.left(500)).simplified());
        m_signalCache->putBack(flight.batch);
        scheduleNextAttempt();
        Q_EMIT batchFinished(count, false);
    }

    if (m_stopping && m_inFlight.isEmpty() && m_graceTimer->isActive()) {
        m_graceTimer->stop();
        finishStopping();
    }
}

void SignalManager::stop(std::function<void()> done)
{
    m_sendTimer->stop();
    if (m_stopping)
        return;
    m_stopping = true;
    m_onStopped = std::move(done);
    if (m_inFlight.isEmpty())
        finishStopping();
    else
        m_graceTimer->start();
}

void SignalManager::abortRequestsInFlight()
{
    auto inFlight = std::exchange(m_inFlight, {});
    std::vector<std::pair<QNetworkReply *, InFlight>> newestFirst(inFlight.keyValueBegin(),
                                                                  inFlight.keyValueEnd());
    std::sort(newestFirst.begin(), newestFirst.end(),
              [](const auto &a, const auto &b) { return a.second.sequence > b.second.sequence; });
    // Each batch goes to the front, so putting back the newest first keeps the oldest ahead.
    for (auto &[reply, flight] : newestFirst) {
        reply->disconnect(this);
        m_signalCache->putBack(flight.batch);
        reply->abort();
        reply->deleteLater();
    }
}

void SignalManager::finishStopping()
{
    m_signalCache->saveToFile(m_configuration.cacheFilePath());
    if (auto done = std::exchange(m_onStopped, {}))
        done();
}
