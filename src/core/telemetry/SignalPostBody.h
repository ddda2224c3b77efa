// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QUuid>

#include <optional>

// One signal as it is sent to the analytics service and kept in the cache file. The same JSON
// form serves both: an object with exactly the keys below, in this order.
struct SignalPostBody
{
    QDateTime receivedAt; // whole seconds, so that it reads back equal
    QString appID;
    QString clientUser;
    QUuid sessionID;
    QString type;
    std::optional<double> floatValue;
    QMap<QString, QString> payload;
    bool isTestMode = false;

    friend bool operator==(const SignalPostBody &, const SignalPostBody &) = default;

    // "yyyy-MM-ddTHH:mm:ss" followed by the offset as +HHMM, in the date's own offset.
    static QString receivedAtText(const QDateTime &date);
    static std::optional<QDateTime> parseReceivedAt(const QString &text);

    QByteArray toJson() const;
    // Nothing when a key is missing or has the wrong type.
    static std::optional<SignalPostBody> fromJson(const QJsonObject &object);

    // A JSON array of bodies; the form of the request and of the cache file.
    static QByteArray encodeList(const QList<SignalPostBody> &bodies);
    // The bodies that decode; elements that do not are skipped. Nothing unless it is an array.
    static std::optional<QList<SignalPostBody>> decodeList(const QByteArray &json);

    // For the client's debug log.
    QString description() const;
};
