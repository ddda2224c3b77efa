// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/support/SalvagedList.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <functional>
#include <optional>

// The text and number forms in which identifiers, dates and file URLs are stored, so that
// values written by earlier releases (and by the original platform's JSON encoder) still read.
namespace StoredForms {

// Canonical upper-case UUID text, 36 characters, no braces.
QString uuidText(const QUuid &id);
// Accepts exactly the 8-4-4-4-12 hexadecimal form, in either case.
std::optional<QUuid> parseUuid(const QString &text);

// Seconds since 2001-01-01 00:00:00 UTC, with fraction.
double dateNumber(const QDateTime &date);
QDateTime dateFromNumber(double seconds);

// Absolute text of a file URL, percent-encoded.
QString urlText(const QUrl &url);
// A file URL read back from its text; nothing unless it is an absolute file URL.
std::optional<QUrl> parseFileUrl(const QString &text);

// Compact JSON with every "/" written as "\/", the way the original encoder wrote it.
QByteArray compactJsonEscapingSlashes(const QJsonDocument &document);

// Strict field readers for stored objects: nothing when the key is missing or mistyped.
std::optional<QString> stringField(const QJsonObject &object, const QString &key);
std::optional<bool> boolField(const QJsonObject &object, const QString &key);
std::optional<qint64> integerField(const QJsonObject &object, const QString &key);
// A count of things done: an integer field that is not negative.
std::optional<qint64> countField(const QJsonObject &object, const QString &key);
std::optional<double> numberField(const QJsonObject &object, const QString &key);
std::optional<QUuid> uuidField(const QJsonObject &object, const QString &key);
// A date stored as its number; nothing also when the number lies beyond any date a clock could
// have written, which only a damaged value holds.
std::optional<QDateTime> dateField(const QJsonObject &object, const QString &key);

// The array a stored list is written as; nothing, with the reason in `fault`, when the text is
// not a JSON array.
std::optional<QJsonArray> parseArray(const QByteArray &json, QString &fault);

// A JSON array of objects, each read strictly; an unreadable element is left out.
template <typename T>
SalvagedList<T>
salvageObjectArray(const QByteArray &json,
                   const std::function<std::optional<T>(const QJsonObject &)> &decodeOne)
{
    SalvagedList<T> list;
    const std::optional<QJsonArray> array = parseArray(json, list.fault);
    for (qsizetype i = 0; array && i < array->size(); ++i) {
        const QJsonValue value = array->at(i);
        std::optional<T> item = value.isObject() ? decodeOne(value.toObject()) : std::nullopt;
        if (item)
            list.items.append(std::move(*item));
        else
            list.drop(QStringLiteral("element %1 is not readable").arg(i));
    }
    return list;
}

// The compact stored form of a list, one object per item.
template <typename T>
QByteArray encodeObjectArray(const QList<T> &items,
                             const std::function<QJsonObject(const T &)> &encodeOne)
{
    QJsonArray array;
    for (const T &item : items)
        array.append(encodeOne(item));
    return compactJsonEscapingSlashes(QJsonDocument(array));
}

} // namespace StoredForms
