// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/CodeWatcherModel.h"
#include "core/support/SalvagedList.h"

#include <QByteArray>
#include <QList>

class UserDefaults;

// The stored watcher list under "monitoredPaths": one compact JSON array that alternates
// each watcher's id text with the watcher object, as the original encoder wrote a dictionary.
//
// A watcher read from the store stays in it until it is registered, so one whose directory is
// missing for this run is written back with the others rather than lost. Main thread.
class WatcherListStore
{
public:
    static inline const QString userDefaultsKeyForWatchers = QStringLiteral("monitoredPaths");

    explicit WatcherListStore(UserDefaults &settings)
        : m_settings(settings)
    {}

    static QByteArray encode(const QList<CodeWatcherModel> &watchers);
    // A pair with any fault is left out; the others are read.
    static SalvagedList<CodeWatcherModel> decode(const QByteArray &json);

    // The stored watchers that decode. A value that does not decode whole is backed up and
    // otherwise stays as it is until the next save, which keeps the watchers read from it.
    QList<CodeWatcherModel> load();
    // Stores the registered watchers, then those loaded and not registered since.
    void save(const QList<CodeWatcherModel> &registered);
    // A loaded watcher that could not be registered is dropped from the store at the next save.
    void forget(const QUuid &watcherId);

private:
    // What the store holds as far as this process knows: restoring twenty watchers saves the
    // same list twenty times, and encoding it each time would cost more than the restoring.
    struct Written
    {
        QList<CodeWatcherModel> watchers;
        QByteArray stored;
    };

    UserDefaults &m_settings;
    QList<CodeWatcherModel> m_unregistered;
    Written m_written;
};
