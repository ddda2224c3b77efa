// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/SignalProcessor.h"

#include "core/support/StoredForms.h"
#include "core/telemetry/DefaultParameters.h"
#include "core/telemetry/SessionManager.h"
#include "core/telemetry/TelemetryDefaultsStore.h"

#include <QCryptographicHash>

namespace {

const QString kReservedPrefix = QStringLiteral("telemetrydeck.");
const QString kDefaultUserKey = QStringLiteral("defaultUserIdentifier");

void mergeInto(QMap<QString, QString> &payload, const QMap<QString, QString> &more)
{
    for (auto it = more.cbegin(); it != more.cend(); ++it)
        payload.insert(it.key(), it.value());
}

} // namespace

SignalProcessor::SignalProcessor(TelemetryManagerConfiguration configuration,
                                 TelemetryDefaultsStore *store, const SessionManager *sessions)
    : m_configuration(std::move(configuration))
    , m_logger(m_configuration.logger())
    , m_store(store)
    , m_sessions(sessions)
{}

const QSet<QString> &SignalProcessor::reservedNames()
{
    static const QSet<QString> names = [] {
        const QStringList list{
            QStringLiteral("type"),
            QStringLiteral("clientUser"),
            QStringLiteral("appID"),
            QStringLiteral("sessionID"),
            QStringLiteral("floatValue"),
            QStringLiteral("newSessionBegan"),
            QStringLiteral("platform"),
            QStringLiteral("systemVersion"),
            QStringLiteral("majorSystemVersion"),
            QStringLiteral("majorMinorSystemVersion"),
            QStringLiteral("appVersion"),
            QStringLiteral("buildNumber"),
            QStringLiteral("isSimulator"),
            QStringLiteral("isDebug"),
            QStringLiteral("isTestFlight"),
            QStringLiteral("isAppStore"),
            QStringLiteral("modelName"),
            QStringLiteral("architecture"),
            QStringLiteral("operatingSystem"),
            QStringLiteral("targetEnvironment"),
            QStringLiteral("locale"),
            QStringLiteral("region"),
            QStringLiteral("appLanguage"),
            QStringLiteral("preferredLanguage"),
            QStringLiteral("telemetryClientVersion"),
        };
        QSet<QString> lower;
        for (const QString &name : list)
            lower.insert(name.toLower());
        return lower;
    }();
    return names;
}

QString SignalProcessor::hashedUser(const QString &identifier, const QString &salt)
{
    return QString::fromLatin1(
        QCryptographicHash::hash((identifier + salt).toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString SignalProcessor::userIdentifier(const std::optional<QString> &customUserId)
{
    if (customUserId)
        return *customUserId;
    if (m_configuration.defaultUser)
        return *m_configuration.defaultUser;
    if (m_storedUser.isEmpty() && m_store)
        m_storedUser = m_store->value(kDefaultUserKey).toString();
    if (m_storedUser.isEmpty()) {
        m_storedUser = StoredForms::uuidText(QUuid::createUuid());
        if (m_store)
            m_store->setValue(kDefaultUserKey, m_storedUser);
    }
    return m_storedUser;
}

void SignalProcessor::warnAboutReservedNames(const QString &type,
                                             const QMap<QString, QString> &parameters)
{
    if (type.toLower().startsWith(kReservedPrefix))
        m_logger.warning(QStringLiteral("Sending signal with reserved prefix 'TelemetryDeck.' will "
                                        "cause unexpected behavior. Please use another prefix "
                                        "instead."));
    else if (reservedNames().contains(type.toLower()))
        m_logger.warning(QStringLiteral("Sending signal with reserved name '") + type +
                         QStringLiteral("' will cause unexpected behavior. Please use another "
                                        "name instead."));

    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) {
        const QString &key = it.key();
        if (key.toLower().startsWith(kReservedPrefix))
            m_logger.warning(QStringLiteral("Sending parameter with reserved key prefix "
                                            "'TelemetryDeck.' will cause unexpected behavior. "
                                            "Please use another prefix instead."));
        else if (reservedNames().contains(key.toLower()))
            m_logger.warning(QStringLiteral("Sending parameter with reserved key '") + key +
                             QStringLiteral("' will cause unexpected behavior. Please use "
                                            "another key instead."));
    }
}

std::optional<SignalPostBody> SignalProcessor::process(const UsageSignal &signal,
                                                       const QDateTime &receivedAt, Origin origin)
{
    if (m_configuration.analyticsDisabled)
        return std::nullopt;

    const QString type = m_configuration.defaultSignalPrefix.value_or(QString()) + signal.name;
    QMap<QString, QString> parameters;
    const QString keyPrefix = m_configuration.defaultParameterPrefix.value_or(QString());
    for (auto it = signal.parameters.cbegin(); it != signal.parameters.cend(); ++it)
        parameters.insert(keyPrefix + it.key(), it.value());

    if (origin == Origin::Caller && m_configuration.reservedParameterWarningsEnabled)
        warnAboutReservedNames(type, parameters);

    // The more particular source wins on equal keys: built-in defaults, then the configured
    // ones, then the enrichers, then the signal's own parameters.
    QMap<QString, QString> payload = DefaultParameters::collect(receivedAt);
    if (m_sessions)
        mergeInto(payload, m_sessions->parameters());
    if (m_configuration.defaultParameters)
        mergeInto(payload, m_configuration.defaultParameters());
    for (const auto &enricher : std::as_const(m_configuration.metadataEnrichers)) {
        if (enricher)
            mergeInto(payload, enricher());
    }
    mergeInto(payload, parameters);

    SignalPostBody body;
    body.receivedAt = QDateTime::fromSecsSinceEpoch(receivedAt.toSecsSinceEpoch());
    body.appID = m_configuration.telemetryAppID;
    body.clientUser = hashedUser(userIdentifier(signal.customUserId), m_configuration.salt);
    body.sessionID = m_sessions ? m_sessions->sessionID() : m_configuration.sessionID;
    body.type = type;
    body.floatValue = signal.floatValue;
    body.payload = std::move(payload);
    body.isTestMode = m_configuration.testMode;
    m_logger.debug(QStringLiteral("Process signal: ") + body.description());
    return body;
}
