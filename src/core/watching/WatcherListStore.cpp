// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/WatcherListStore.h"

#include "core/support/StoredForms.h"
#include "core/support/UserDefaults.h"

#include <QJsonArray>
#include <QJsonDocument>

QByteArray WatcherListStore::encode(const QList<CodeWatcherModel> &watchers)
{
    QJsonArray pairs;
    for (const CodeWatcherModel &watcher : watchers) {
        pairs.append(StoredForms::uuidText(watcher.id));
        pairs.append(watcher.toJson());
    }
    return StoredForms::compactJsonEscapingSlashes(QJsonDocument(pairs));
}

std::optional<QList<CodeWatcherModel>> WatcherListStore::decode(const QByteArray &json)
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

QList<CodeWatcherModel> WatcherListStore::load()
{
    const QVariant stored = UserDefaults::value(userDefaultsKeyForWatchers);
    if (!stored.isValid())
        return {};
    m_unregistered = decode(stored.toByteArray()).value_or(QList<CodeWatcherModel>());
    return m_unregistered;
}

void WatcherListStore::save(const QList<CodeWatcherModel> &registered)
{
    m_unregistered.removeIf([&](const CodeWatcherModel &kept) {
        return std::any_of(registered.cbegin(), registered.cend(),
                           [&](const CodeWatcherModel &watcher) { return watcher.id == kept.id; });
    });
    UserDefaults::setValue(userDefaultsKeyForWatchers, encode(registered + m_unregistered));
}
