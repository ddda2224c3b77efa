// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/watching/CodeWatcherModel.h"

#include <QByteArray>
#include <QList>

#include <optional>

// The stored watcher list under "monitoredPaths": one compact JSON array that alternates
// each watcher's id text with the watcher object, as the original encoder wrote a dictionary.
namespace WatcherListStore {

inline const QString userDefaultsKeyForWatchers = QStringLiteral("monitoredPaths");

QByteArray encode(const QList<CodeWatcherModel> &watchers);
// Any fault anywhere fails the whole list.
std::optional<QList<CodeWatcherModel>> decode(const QByteArray &json);

// The stored watchers; empty when none are stored or the value does not decode.
QList<CodeWatcherModel> load();
void save(const QList<CodeWatcherModel> &watchers);

} // namespace WatcherListStore
