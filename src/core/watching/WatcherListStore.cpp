// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/WatcherListStore.h"

#include "core/support/StoredForms.h"
#include "core/support/UserDefaults.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace WatcherListStore {

QByteArray encode(const QList<CodeWatcherModel> &watchers)
{
    QJsonArray pairs;
    for (const CodeWatcherModel &watcher : watchers) {
        pairs.append(StoredForms::uuidText(watcher.id));
        pairs.append(watcher.toJson());
    }
    return StoredForms::compactJsonEscapingSlashes(QJsonDocument(pairs));
}

std::optional<QList<CodeWatcherModel>> decode(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray pairs = document.array();
    if (pairs.size() % 2 != 0)
        return std::nullopt;

    QList<CodeWatcherModel> watchers;
    for (qsizetype i = 0; i < pairs.size(); i += 2) {
        // The key must be id text, but each watcher is registered under its own "id".
        if (!pairs[i].isString() || !StoredForms::parseUuid(pairs[i].toString()))
            return std::nullopt;
        if (!pairs[i + 1].isObject())
            return std::nullopt;
        std::optional<CodeWatcherModel> watcher =
            CodeWatcherModel::fromJson(pairs[i + 1].toObject());
        if (!watcher)
            return std::nullopt;
        watchers.append(std::move(*watcher));
    }
    return watchers;
}

QList<CodeWatcherModel> load()
{
    const QVariant stored = UserDefaults::value(userDefaultsKeyForWatchers);
    if (!stored.isValid())
        return {};
    return decode(stored.toByteArray()).value_or(QList<CodeWatcherModel>());
}

void save(const QList<CodeWatcherModel> &watchers)
{
    UserDefaults::setValue(userDefaultsKeyForWatchers, encode(watchers));
}

} // namespace WatcherListStore
