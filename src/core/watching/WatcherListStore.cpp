// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/WatcherListStore.h"

#include "core/support/StoredForms.h"
#include "core/support/StoredValueBackup.h"
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

namespace {

// The key must be id text, but each watcher is registered under its own "id".
std::optional<CodeWatcherModel> watcherOfPair(const QJsonValue &key, const QJsonValue &watcher)
{
    if (!key.isString() || !StoredForms::parseUuid(key.toString()) || !watcher.isObject())
        return std::nullopt;
    return CodeWatcherModel::fromJson(watcher.toObject());
}

} // namespace

SalvagedList<CodeWatcherModel> WatcherListStore::decode(const QByteArray &json)
{
    SalvagedList<CodeWatcherModel> watchers;
    const QJsonArray pairs = StoredForms::parseArray(json, watchers.fault).value_or(QJsonArray());
    qsizetype i = 0;
    while (i < pairs.size()) {
        std::optional<CodeWatcherModel> watcher = watcherOfPair(pairs.at(i), pairs.at(i + 1));
        if (watcher) {
            watchers.items.append(std::move(*watcher));
            i += 2;
        } else {
            // One step on, so a lone extra element does not shift the pairs after it.
            watchers.drop(QStringLiteral("element %1 is not a watcher's id and record").arg(i));
            ++i;
        }
    }
    return watchers;
}

void WatcherListStore::forget(const QUuid &watcherId)
{
    m_unregistered.removeIf([&](const CodeWatcherModel &kept) { return kept.id == watcherId; });
}

QList<CodeWatcherModel> WatcherListStore::load()
{
    const QVariant stored = m_settings.value(userDefaultsKeyForWatchers);
    if (!stored.isValid())
        return {};
    const SalvagedList<CodeWatcherModel> watchers = decode(stored.toByteArray());
    if (watchers.whole())
        m_written = {watchers.items, stored.toByteArray()};
    else
        StoredValueBackup::keep(m_settings, userDefaultsKeyForWatchers, stored);
    m_unregistered = watchers.items;
    return m_unregistered;
}

void WatcherListStore::save(const QList<CodeWatcherModel> &registered)
{
    m_unregistered.removeIf([&](const CodeWatcherModel &kept) {
        return std::any_of(registered.cbegin(), registered.cend(),
                           [&](const CodeWatcherModel &watcher) { return watcher.id == kept.id; });
    });
    const QList<CodeWatcherModel> watchers = registered + m_unregistered;
    if (watchers == m_written.watchers && !m_written.stored.isEmpty() &&
        m_settings.value(userDefaultsKeyForWatchers).toByteArray() == m_written.stored)
        return;
    m_written = {watchers, encode(watchers)};
    m_settings.setValue(userDefaultsKeyForWatchers, m_written.stored);
}
