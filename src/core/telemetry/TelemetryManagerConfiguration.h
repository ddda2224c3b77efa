// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/telemetry/TelemetryLog.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <chrono>
#include <functional>
#include <optional>

// Everything the analytics client is started with. A plain value: copied into the client at
// start, never changed afterwards. The providers and the log handler run on the client's thread.
struct TelemetryManagerConfiguration
{
    using ParameterProvider = std::function<QMap<QString, QString>()>;

    // An empty base address means the endpoint this build was configured with.
    explicit TelemetryManagerConfiguration(QString appID, QString salt = QString(),
                                           QUrl baseURL = QUrl());

    // The application's own identifier and endpoint, as set when it was built.
    static TelemetryManagerConfiguration forThisBuild();
    // False when the build was not given both: the client must not be started then.
    static bool thisBuildHasService();
    static QUrl defaultApiBaseURL();
    static QString defaultAppID();

    QString telemetryAppID;
    QUrl apiBaseURL;
    QString salt;
    std::optional<QString> defaultUser;
    std::optional<QString> defaultSignalPrefix;
    std::optional<QString> defaultParameterPrefix;
    ParameterProvider defaultParameters;
    bool sendNewSessionBeganSignal = true;
    QUuid sessionID = QUuid::createUuid();
    bool testMode = false;
    bool analyticsDisabled = false;
    bool reservedParameterWarningsEnabled = true;
    bool showDebugLogs = false;
    TelemetryLogger::Handler logHandler;
    QList<ParameterProvider> metadataEnrichers;

    // Timings and limits; tests shorten them.
    std::chrono::milliseconds sendInterval{10000};
    std::chrono::milliseconds requestTimeout{60000};
    // How long quitting waits for requests still on the wire before it puts them back.
    std::chrono::milliseconds shutdownGrace{2000};
    int maximumCachedSignals = 10000;
    qint64 maximumResponseBytes = qint64{64} * 1024;

    // Empty: "telemetrysignalcache" in the caches folder.
    QString cacheFile;
    // Empty: the client's own settings suite beside the application's (see defaultsSuiteName).
    QString defaultsStoreFile;

    // The POST address: the base address with "/v2/" appended to its path.
    QUrl signalsEndpoint() const;
    QString cacheFilePath() const;
    // A fixed reverse-DNS prefix and the first 12 hex digits of the app id's SHA-256.
    QString defaultsSuiteName() const;
    TelemetryLogger logger() const { return {logHandler, showDebugLogs}; }
};
