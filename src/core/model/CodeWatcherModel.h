// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/SupportedFileExtension.h"

#include <QHashFunctions>
#include <QJsonObject>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <optional>

// A watcher: the user's standing request to keep one language's files in one directory
// formatted with one stored configuration.
struct CodeWatcherModel
{
    QUuid id;
    QString name;
    QUrl url;                          // the watched directory
    std::optional<QUrl> configFileUrl; // never set by the app; kept when read
    bool isActivated = true;
    SupportedFileExtension codeKind = SupportedFileExtension::swift;
    QUuid configurationId;

    // A new, active watcher of a directory for a stored configuration.
    static CodeWatcherModel make(const QString &name, const QUrl &directory,
                                 SupportedFileExtension codeKind, const QUuid &configurationId);

    QJsonObject toJson() const;
    // Strict: every key but "configFileUrl" must be present and of its type.
    static std::optional<CodeWatcherModel> fromJson(const QJsonObject &object);

    friend bool operator==(const CodeWatcherModel &, const CodeWatcherModel &) = default;
};

size_t qHash(const CodeWatcherModel &watcher, size_t seed = 0);
