// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/model/ConfigurationItem.h"

#include "core/support/StoredForms.h"

namespace {
const QString kId = QStringLiteral("id");
const QString kName = QStringLiteral("name");
const QString kPath = QStringLiteral("path");
const QString kLanguage = QStringLiteral("language");
const QString kCreatedAt = QStringLiteral("createdAt");
} // namespace

QJsonObject ConfigurationItem::toJson() const
{
    return QJsonObject{
        {kId, StoredForms::uuidText(id)},
        {kName, name},
        {kPath, StoredForms::urlText(path)},
        {kLanguage, SupportedFileExtensions::code(language)},
        {kCreatedAt, StoredForms::dateNumber(createdAt)},
    };
}

std::optional<ConfigurationItem> ConfigurationItem::fromJson(const QJsonObject &object)
{
    const auto id = StoredForms::uuidField(object, kId);
    const auto name = StoredForms::stringField(object, kName);
    const auto pathText = StoredForms::stringField(object, kPath);
    const auto path = pathText ? StoredForms::parseFileUrl(*pathText) : std::nullopt;
    const auto languageText = StoredForms::stringField(object, kLanguage);
    const auto language =
        languageText ? SupportedFileExtensions::fromCode(*languageText) : std::nullopt;
    const auto createdAt = StoredForms::dateField(object, kCreatedAt);
    if (!id || !name || !path || !language || !createdAt)
        return std::nullopt;
    return ConfigurationItem{*id, *name, *path, *language, *createdAt};
}

size_t qHash(const ConfigurationItem &item, size_t seed)
{
    return qHashMulti(seed, item.id, item.name, item.path, static_cast<int>(item.language),
                      item.createdAt);
}
