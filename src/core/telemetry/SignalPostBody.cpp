// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/SignalPostBody.h"

#include "core/support/StoredForms.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>

#include <cmath>
#include <cstdlib>

namespace {

// QJsonDocument only writes whole documents: encode a lone value inside an array and unwrap it.
QByteArray jsonValueText(const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QByteArray jsonMember(const char *key, const QByteArray &valueText)
{
    return QByteArray("\"") + key + "\":" + valueText;
}

} // namespace

QString SignalPostBody::receivedAtText(const QDateTime &date)
{
    const int offsetMinutes = date.offsetFromUtc() / 60;
    const int magnitude = std::abs(offsetMinutes);
    const QLocale enUS(QLocale::English, QLocale::UnitedStates);
    return enUS.toString(date, QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) +
           (offsetMinutes < 0 ? u'-' : u'+') +
           QStringLiteral("%1%2")
               .arg(magnitude / 60, 2, 10, QLatin1Char('0'))
               .arg(magnitude % 60, 2, 10, QLatin1Char('0'));
}

std::optional<QDateTime> SignalPostBody::parseReceivedAt(const QString &text)
{
    static const QRegularExpression form(
        QStringLiteral(R"(^(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2})([+-])(\d{2})(\d{2})$)"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int minutes = match.captured(3).toInt() * 60 + match.captured(4).toInt();
    const int offsetSeconds = (match.captured(2) == QStringLiteral("-") ? -60 : 60) * minutes;
    // Read as date and time apart: a local-time reading could fall into a DST gap.
    const QDate date = QDate::fromString(match.captured(1).left(10), Qt::ISODate);
    const QTime time = QTime::fromString(match.captured(1).mid(11), Qt::ISODate);
    if (!date.isValid() || !time.isValid() || minutes > 18 * 60)
        return std::nullopt;
    return QDateTime(date, time, QTimeZone(offsetSeconds));
}

QByteArray SignalPostBody::toJson() const
{
    QJsonObject payloadObject;
    for (auto it = payload.cbegin(); it != payload.cend(); ++it)
        payloadObject.insert(it.key(), it.value());

    QByteArrayList members;
    members << jsonMember("receivedAt", jsonValueText(receivedAtText(receivedAt)))
            << jsonMember("appID", jsonValueText(appID))
            << jsonMember("clientUser", jsonValueText(clientUser))
            << jsonMember("sessionID", jsonValueText(StoredForms::uuidText(sessionID)))
            << jsonMember("type", jsonValueText(type));
    // JSON has no form for NaN or infinity; such a value would spoil the whole batch.
    if (floatValue && std::isfinite(*floatValue))
        members << jsonMember("floatValue", jsonValueText(*floatValue));
    members << jsonMember("payload", QJsonDocument(payloadObject).toJson(QJsonDocument::Compact))
            << jsonMember("isTestMode", jsonValueText(isTestMode ? QStringLiteral("true")
                                                                 : QStringLiteral("false")));
    return '{' + members.join(',') + '}';
}

std::optional<SignalPostBody> SignalPostBody::fromJson(const QJsonObject &object)
{
    using namespace StoredForms;
    const auto receivedAtString = stringField(object, QStringLiteral("receivedAt"));
    const auto receivedAt = receivedAtString ? parseReceivedAt(*receivedAtString) : std::nullopt;
    const auto appID = stringField(object, QStringLiteral("appID"));
    const auto clientUser = stringField(object, QStringLiteral("clientUser"));
    const auto sessionID = uuidField(object, QStringLiteral("sessionID"));
    const auto type = stringField(object, QStringLiteral("type"));
    const auto isTestMode = stringField(object, QStringLiteral("isTestMode"));
    const QJsonValue payloadValue = object.value(QStringLiteral("payload"));
    if (!receivedAt || !appID || !clientUser || !sessionID || !type || !isTestMode ||
        !payloadValue.isObject())
        return std::nullopt;
    if (*isTestMode != QStringLiteral("true") && *isTestMode != QStringLiteral("false"))
        return std::nullopt;

    SignalPostBody body;
    body.receivedAt = *receivedAt;
    body.appID = *appID;
    body.clientUser = *clientUser;
    body.sessionID = *sessionID;
    body.type = *type;
    body.isTestMode = *isTestMode == QStringLiteral("true");
    if (object.contains(QStringLiteral("floatValue"))) {
        body.floatValue = numberField(object, QStringLiteral("floatValue"));
        if (!body.floatValue)
            return std::nullopt;
    }
    const QJsonObject payloadObject = payloadValue.toObject();
    for (auto it = payloadObject.constBegin(); it != payloadObject.constEnd(); ++it) {
        if (!it.value().isString())
            return std::nullopt;
        body.payload.insert(it.key(), it.value().toString());
    }
    return body;
}

QByteArray SignalPostBody::encodeList(const QList<SignalPostBody> &bodies)
{
    QByteArrayList items;
    items.reserve(bodies.size());
    for (const SignalPostBody &body : bodies)
        items << body.toJson();
    return '[' + items.join(',') + ']';
}

std::optional<QList<SignalPostBody>> SignalPostBody::decodeList(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    QList<SignalPostBody> bodies;
    bodies.reserve(array.size());
    for (const QJsonValue value : array) {
        if (auto body = value.isObject() ? fromJson(value.toObject()) : std::nullopt)
            bodies.append(std::move(*body));
    }
    return bodies;
}

QString SignalPostBody::description() const
{
    return QString::fromUtf8(toJson());
}
