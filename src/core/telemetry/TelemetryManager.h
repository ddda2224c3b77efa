// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/telemetry/TelemetryManagerConfiguration.h"
#include "core/telemetry/UsageSignal.h"

#include <QDateTime>
#include <QMetaObject>

#include <memory>

class SerialQueue;
class SessionManager;
class SignalCache;
class SignalManager;
class SignalProcessor;
class TelemetryDefaultsStore;

// The process-wide analytics client. Started once at launch; from then on the program's usage
// signals (UsageSignals::signal) are processed, cached and sent on the client's own thread,
// and the call that hands one over returns at once. When the application quits, the signals
// not yet delivered are written to the cache file and sent after the next launch.
// The static functions may be called from any thread.
class TelemetryManager
{
public:
    // Starts the client and makes it the sink of UsageSignals. A client already running is
    // shut down first. Needs the QCoreApplication: its aboutToQuit shuts the client down.
    static void initialize(const TelemetryManagerConfiguration &configuration =
                               TelemetryManagerConfiguration::forThisBuild());
    static bool isInitialized();

    // Queues a signal; dropped when no client runs.
    static void send(const UsageSignal &signal);
    // Makes a send attempt now instead of at the next tick.
    static void requestImmediateSync();

    // Stops the client and writes the unsent signals to the cache file. Requests still on the
    // wire get the configuration's `shutdownGrace` to finish; what they carried is kept if they
    // do not. Does nothing when no client runs.
    static void shutdown();

    ~TelemetryManager();
    TelemetryManager(const TelemetryManager &) = delete;
    TelemetryManager &operator=(const TelemetryManager &) = delete;

private:
    explicit TelemetryManager(TelemetryManagerConfiguration configuration);

    // On the client's thread.
    void start();
    void process(const UsageSignal &signal, const QDateTime &receivedAt, bool ownSignal);
    // True when the client's thread finished its work in time.
    bool stop();

    TelemetryManagerConfiguration m_configuration;
    std::unique_ptr<SerialQueue> m_queue;
    std::shared_ptr<SignalCache> m_signalCache;
    QMetaObject::Connection m_quitConnection;

    // Made, used and deleted on the client's thread.
    std::unique_ptr<TelemetryDefaultsStore> m_store;
    std::unique_ptr<SignalProcessor> m_processor;
    SessionManager *m_sessions = nullptr;
    SignalManager *m_signalManager = nullptr;
};
