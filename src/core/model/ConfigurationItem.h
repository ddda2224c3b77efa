// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/SupportedFileExtension.h"

#include <QDateTime>
#include <QHashFunctions>
#include <QJsonObject>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <optional>

// One stored formatter configuration: its text lives in the file at `path`.
struct ConfigurationItem
{
    QUuid id;
    QString name;
    QUrl path;
    SupportedFileExtension language = SupportedFileExtension::swift;
    QDateTime createdAt;

    QJsonObject toJson() const;
    static std::optional<ConfigurationItem> fromJson(const QJsonObject &object);

    friend bool operator==(const ConfigurationItem &, const ConfigurationItem &) = default;
};

size_t qHash(const ConfigurationItem &item, size_t seed = 0);
