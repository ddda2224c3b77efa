// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/telemetry/SignalPostBody.h"
#include "core/telemetry/TelemetryManagerConfiguration.h"
#include "core/telemetry/UsageSignal.h"

#include <QSet>

class SessionManager;
class TelemetryDefaultsStore;

// Turns a signal as the program hands it over into the body that is sent: prefixes, the merged
// payload, the hashed user, the session. Warns about names the service reserves for itself.
// Used on the client's thread, or on any one thread at a time.
class SignalProcessor
{
public:
    // `store` and `sessions` may be absent: no user is remembered, no retention is reported.
    SignalProcessor(TelemetryManagerConfiguration configuration, TelemetryDefaultsStore *store,
                    const SessionManager *sessions);

    // The client's own signals carry reserved names on purpose and are not warned about.
    enum class Origin
    {
        Caller,
        Client
    };
    std::optional<SignalPostBody> process(const UsageSignal &signal, const QDateTime &receivedAt,
                                          Origin origin = Origin::Caller);

    // The identifier the signals are counted under, before hashing.
    QString userIdentifier(const std::optional<QString> &customUserId);
    // SHA-256 of the identifier's UTF-8 bytes followed by the salt, in lower-case hex.
    static QString hashedUser(const QString &identifier, const QString &salt);

    static const QSet<QString> &reservedNames(); // lower case

private:
    void warnAboutReservedNames(const QString &type, const QMap<QString, QString> &parameters);

    TelemetryManagerConfiguration m_configuration;
    TelemetryLogger m_logger;
    TelemetryDefaultsStore *m_store;
    const SessionManager *m_sessions;
    QString m_storedUser;
};
