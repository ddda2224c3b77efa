// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/StoredForms.h"

#include <QJsonDocument>
#include <QJsonValue>

#include <cmath>
#include <limits>

namespace StoredForms {

namespace {
// 2001-01-01 00:00:00 UTC in Unix seconds.
constexpr qint64 kReferenceDateOffset = 978307200;

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
} // namespace

QString uuidText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> parseUuid(const QString &text)
{
    if (text.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool hyphenPosition = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphenPosition ? text[i] != u'-' : !isHexDigit(text[i]))
            return std::nullopt;
    }
    const QUuid id = QUuid::fromString(text);
    if (id.isNull() && text != QStringLiteral("00000000-0000-0000-0000-000000000000"))
        return std::nullopt;
    return id;
}

double dateNumber(const QDateTime &date)
{
    return static_cast<double>(date.toMSecsSinceEpoch()) / 1000.0 -
           static_cast<double>(kReferenceDateOffset);
}

QDateTime dateFromNumber(double seconds)
{
    const double msecs = std::round((seconds + static_cast<double>(kReferenceDateOffset)) * 1000.0);
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(msecs));
}

QString urlText(const QUrl &url)
{
    return url.toString(QUrl::FullyEncoded);
}

std::optional<QUrl> parseFileUrl(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile())
        return std::nullopt;
    return url;
}

QByteArray compactJsonEscapingSlashes(const QJsonDocument &document)
{
    // A "/" can only occur inside a JSON string, so replacing every one is safe.
    return document.toJson(QJsonDocument::Compact).replace("/", "\\/");
}

std::optional<QJsonArray> parseArray(const QByteArray &json, QString &fault)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        fault = error.errorString();
    else if (!document.isArray())
        fault = QStringLiteral("expected an array");
    else
        return document.array();
    return std::nullopt;
}

std::optional<QString> stringField(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<bool> boolField(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isBool())
        return std::nullopt;
    return value.toBool();
}

std::optional<qint64> integerField(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    // Integers beyond 2^53 cannot come through a JSON number intact; refuse rather than round.
    constexpr double kLimit = 9007199254740992.0;
    if (std::trunc(number) != number || std::fabs(number) > kLimit)
        return std::nullopt;
    return static_cast<qint64>(number);
}

std::optional<qint64> countField(const QJsonObject &object, const QString &key)
{
    const std::optional<qint64> count = integerField(object, key);
    if (count && *count < 0)
        return std::nullopt;
    return count;
}

std::optional<double> numberField(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble() || !std::isfinite(value.toDouble()))
        return std::nullopt;
    return value.toDouble();
}

std::optional<QUuid> uuidField(const QJsonObject &object, const QString &key)
{
    const std::optional<QString> text = stringField(object, key);
    return text ? parseUuid(*text) : std::nullopt;
}

std::optional<QDateTime> dateField(const QJsonObject &object, const QString &key)
{
    // About 30,000 years either way: far inside what milliseconds in 64 bits can hold.
    constexpr double kLimit = 1e12;
    const std::optional<double> seconds = numberField(object, key);
    if (!seconds || std::fabs(*seconds) > kLimit)
        return std::nullopt;
    return dateFromNumber(*seconds);
}

} // namespace StoredForms
