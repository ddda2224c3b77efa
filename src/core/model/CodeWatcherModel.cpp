// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/model/CodeWatcherModel.h"

#include "core/support/StoredForms.h"

namespace {
const QString kId = QStringLiteral("id");
const QString kName = QStringLiteral("name");
const QString kUrl = QStringLiteral("url");
const QString kConfigFileUrl = QStringLiteral("configFileUrl");
const QString kIsActivated = QStringLiteral("isActivated");
const QString kCodeKind = QStringLiteral("codeKind");
const QString kConfigurationId = QStringLiteral("configurationId");

std::optional<QUrl> fileUrlField(const QJsonObject &object, const QString &key)
{
    const std::optional<QString> text = StoredForms::stringField(object, key);
    return text ? StoredForms::parseFileUrl(*text) : std::nullopt;
}
} // namespace

CodeWatcherModel CodeWatcherModel::make(const QString &name, const QUrl &directory,
                                        SupportedFileExtension codeKind,
                                        const QUuid &configurationId)
{
    CodeWatcherModel watcher;
    watcher.id = QUuid::createUuid();
    watcher.name = name;
    watcher.url = directory;
    watcher.isActivated = true;
    watcher.codeKind = codeKind;
    watcher.configurationId = configurationId;
    return watcher;
}

QJsonObject CodeWatcherModel::toJson() const
{
    QJsonObject object{
        {kId, StoredForms::uuidText(id)},
        {kName, name},
        {kUrl, StoredForms::urlText(url)},
        {kIsActivated, isActivated},
        {kCodeKind, SupportedFileExtensions::code(codeKind)},
        {kConfigurationId, StoredForms::uuidText(configurationId)},
    };
    if (configFileUrl)
        object.insert(kConfigFileUrl, StoredForms::urlText(*configFileUrl));
    return object;
}

std::optional<CodeWatcherModel> CodeWatcherModel::fromJson(const QJsonObject &object)
{
    const auto id = StoredForms::uuidField(object, kId);
    const auto name = StoredForms::stringField(object, kName);
    const auto url = fileUrlField(object, kUrl);
    const auto isActivated = StoredForms::boolField(object, kIsActivated);
    const auto codeText = StoredForms::stringField(object, kCodeKind);
    const auto codeKind = codeText ? SupportedFileExtensions::fromCode(*codeText) : std::nullopt;
    const auto configurationId = StoredForms::uuidField(object, kConfigurationId);
    if (!id || !name || !url || !isActivated || !codeKind || !configurationId)
        return std::nullopt;

    CodeWatcherModel watcher{.id = *id,
                             .name = *name,
                             .url = *url,
                             .configFileUrl = std::nullopt,
                             .isActivated = *isActivated,
                             .codeKind = *codeKind,
                             .configurationId = *configurationId};
    if (object.contains(kConfigFileUrl)) {
        // Present means it must be right: a mistyped value fails like any other key.
        watcher.configFileUrl = fileUrlField(object, kConfigFileUrl);
        if (!watcher.configFileUrl)
            return std::nullopt;
    }
    return watcher;
}

size_t qHash(const CodeWatcherModel &watcher, size_t seed)
{
    return qHashMulti(seed, watcher.id, watcher.name, watcher.url,
                      watcher.configFileUrl.value_or(QUrl()), watcher.configFileUrl.has_value(),
                      watcher.isActivated, static_cast<int>(watcher.codeKind),
                      watcher.configurationId);
}
