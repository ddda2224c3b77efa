// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/TelemetryManager.h"

#include "core/support/SerialQueue.h"
#include "core/telemetry/SessionManager.h"
#include "core/telemetry/SignalCache.h"
#include "core/telemetry/SignalManager.h"
#include "core/telemetry/SignalProcessor.h"
#include "core/telemetry/TelemetryDefaultsStore.h"
#include "core/telemetry/UsageSignals.h"

#include <QCoreApplication>
#include <QReadLocker>
#include <QReadWriteLock>
#include <QSemaphore>
#include <QWriteLocker>

namespace {

QReadWriteLock s_lock;
TelemetryManager *s_shared = nullptr;

// Beyond the grace for the network: time to write the cache file and stop the thread.
constexpr std::chrono::milliseconds kStopMargin{3000};

std::optional<QString> configurationProblem(const TelemetryManagerConfiguration &configuration)
{
    if (configuration.telemetryAppID.trimmed().isEmpty())
        return QStringLiteral("no app ID");
    const QUrl &url = configuration.apiBaseURL;
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QStringLiteral("https") && url.scheme() != QStringLiteral("http")))
        return QStringLiteral("not an HTTP address: ") + url.toString();
    return std::nullopt;
}

} // namespace

TelemetryManager::TelemetryManager(TelemetryManagerConfiguration configuration)
    : m_configuration(std::move(configuration))
    , m_queue(std::make_unique<SerialQueue>(QStringLiteral("com.velmora.sprucer.telemetry")))
    , m_signalCache(std::make_shared<SignalCache>(m_configuration.logger(),
                                                  m_configuration.maximumCachedSignals))
{}

TelemetryManager::~TelemetryManager() = default;

void TelemetryManager::initialize(const TelemetryManagerConfiguration &configuration)
{
    shutdown();
    if (configuration.analyticsDisabled)
        return;
    if (const auto problem = configurationProblem(configuration)) {
        configuration.logger().error(QStringLiteral("Analytics not started: ") + *problem);
        return;
    }

    auto *manager = new TelemetryManager(configuration);
    manager->m_queue->post([manager] { manager->start(); });
    if (QCoreApplication *app = QCoreApplication::instance())
        manager->m_quitConnection =
            QObject::connect(app, &QCoreApplication::aboutToQuit, app, &TelemetryManager::shutdown);
    {
        QWriteLocker lock(&s_lock);
        s_shared = manager;
    }
    UsageSignals::setSink(&TelemetryManager::send);
}

bool TelemetryManager::isInitialized()
{
    QReadLocker lock(&s_lock);
    return s_shared != nullptr;
}

void TelemetryManager::send(const UsageSignal &signal)
{
    const QDateTime receivedAt = QDateTime::currentDateTime();
    QReadLocker lock(&s_lock);
    TelemetryManager *manager = s_shared;
    if (!manager)
        return;
    // The manager outlives every task posted before its shutdown, which takes the lock first.
    manager->m_queue->post(
        [manager, signal, receivedAt] { manager->process(signal, receivedAt, false); });
}

void TelemetryManager::requestImmediateSync()
{
    QReadLocker lock(&s_lock);
    TelemetryManager *manager = s_shared;
    if (manager)
        manager->m_queue->post([manager] { manager->m_signalManager->attemptToSendNextBatch(); });
}

void TelemetryManager::shutdown()
{
    TelemetryManager *manager = nullptr;
    {
        QWriteLocker lock(&s_lock);
        manager = std::exchange(s_shared, nullptr);
    }
    if (!manager)
        return;
    UsageSignals::setSink({});
    QObject::disconnect(manager->m_quitConnection);
    if (manager->stop()) {
        delete manager;
    } else {
        // Its thread is stuck (a hung disk); waiting for it would hang the quit instead.
        manager->m_configuration.logger().error(
            QStringLiteral("Analytics did not stop in time; unsent signals may be lost"));
    }
}

void TelemetryManager::start()
{
    m_store = std::make_unique<TelemetryDefaultsStore>(m_configuration);
    m_sessions = new SessionManager(m_store.get(), m_queue->context());
    m_processor = std::make_unique<SignalProcessor>(m_configuration, m_store.get(), m_sessions);
    m_signalManager = new SignalManager(m_configuration, m_signalCache, m_queue->context());

    const QDateTime now = QDateTime::currentDateTime();
    if (m_sessions->startNewSession(m_configuration.sessionID, now)) {
        process(UsageSignal{QStringLiteral("TelemetryDeck.Acquisition.newInstallDetected"),
                            {{QStringLiteral("TelemetryDeck.Acquisition.firstSessionDate"),
                              m_sessions->firstSessionDate()}},
                            std::nullopt,
                            std::nullopt},
                now, true);
    }
    if (m_configuration.sendNewSessionBeganSignal)
        process(
            UsageSignal{
                QStringLiteral("TelemetryDeck.Session.started"), {}, std::nullopt, std::nullopt},
            now, true);
    // Loads the cache file ahead of the session's signals and makes the first attempt.
    m_signalManager->start();
}

void TelemetryManager::process(const UsageSignal &signal, const QDateTime &receivedAt,
                               bool ownSignal)
{
    const auto origin =
        ownSignal ? SignalProcessor::Origin::Client : SignalProcessor::Origin::Caller;
    if (auto body = m_processor->process(signal, receivedAt, origin)) {
        m_signalCache->push(*body);
        m_signalManager->signalQueued();
    }
    m_sessions->recordActivity();
}

bool TelemetryManager::stop()
{
    // Shared: if the wait below gives up, the client's thread still releases it later.
    const auto stopped = std::make_shared<QSemaphore>();
    m_queue->post([this, stopped] {
        m_sessions->persist();
        m_signalManager->stop([this, stopped] {
            // Not from inside the signal manager's own call: it is deleted here.
            QMetaObject::invokeMethod(
                m_queue->context(),
                [this, stopped] {
                    delete std::exchange(m_signalManager, nullptr);
                    delete std::exchange(m_sessions, nullptr);
                    m_processor.reset();
                    m_store.reset();
                    stopped->release();
                },
                Qt::QueuedConnection);
        });
    });
    const auto bound = m_configuration.shutdownGrace + kStopMargin;
    if (!stopped->tryAcquire(1, static_cast<int>(bound.count())))
        return false;
    m_queue.reset();
    return true;
}
