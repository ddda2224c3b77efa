// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/TelemetryManagerConfiguration.h"

#include "core/support/AppPaths.h"

#include <QCryptographicHash>

#ifndef SPRUCER_ANALYTICS_URL
#error "SPRUCER_ANALYTICS_URL must be defined by the build"
#endif
#ifndef SPRUCER_ANALYTICS_APP_ID
#error "SPRUCER_ANALYTICS_APP_ID must be defined by the build"
#endif

TelemetryManagerConfiguration::TelemetryManagerConfiguration(QString appID, QString salt,
                                                             QUrl baseURL)
    : telemetryAppID(std::move(appID))
    , apiBaseURL(baseURL.isEmpty() ? defaultApiBaseURL() : std::move(baseURL))
    , salt(std::move(salt))
{}

TelemetryManagerConfiguration TelemetryManagerConfiguration::forThisBuild()
{
    return TelemetryManagerConfiguration(defaultAppID());
}

bool TelemetryManagerConfiguration::thisBuildHasService()
{
    return defaultApiBaseURL().isValid() && !defaultApiBaseURL().isEmpty() &&
           !defaultAppID().isEmpty();
}

QUrl TelemetryManagerConfiguration::defaultApiBaseURL()
{
    return {QStringLiteral(SPRUCER_ANALYTICS_URL), QUrl::StrictMode};
}

QString TelemetryManagerConfiguration::defaultAppID()
{
    return QStringLiteral(SPRUCER_ANALYTICS_APP_ID);
}

QUrl TelemetryManagerConfiguration::signalsEndpoint() const
{
    QUrl endpoint = apiBaseURL;
    QString path = endpoint.path();
    while (path.endsWith(u'/'))
        path.chop(1);
    endpoint.setPath(path + QStringLiteral("/v2/"));
    return endpoint;
}

QString TelemetryManagerConfiguration::cacheFilePath() const
{
    if (!cacheFile.isEmpty())
        return cacheFile;
    return AppPaths::cachesDirectory() + QStringLiteral("/telemetrysignalcache");
}

QString TelemetryManagerConfiguration::defaultsSuiteName() const
{
    const QByteArray digest =
        QCryptographicHash::hash(telemetryAppID.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("com.velmora.analytics.") + QString::fromLatin1(digest.left(12));
}
