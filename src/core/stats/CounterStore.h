// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/CodeCounterModel.h"
#include "core/support/SalvagedList.h"

#include <QList>
#include <QObject>

class UserDefaults;

// Fixes counted per watcher, stored under "fixedCountKey3". Lives on the main thread;
// `fixedCountChanged` tells observers of every change.
// Another process (the agent beside the command line) counts into the same value: a list stored
// since this store last read or wrote it is taken in before a count is added, so neither
// process's whole-list write erases the other's counts.
class CounterStore : public QObject
{
    Q_OBJECT

public:
    static inline const QString counterKey = QStringLiteral("fixedCountKey3");

    // Loads the stored counts.
    explicit CounterStore(UserDefaults &settings, QObject *parent = nullptr);

    const QList<CodeCounterModel> &fixedCount() const { return m_fixedCount; }
    void setFixedCount(const QList<CodeCounterModel> &counts);

    // The count of one watcher; 0 when it was never counted.
    qint64 countFor(const QUuid &watcherId) const;

    // A list read in part keeps its readable counts; the stored value is backed up first.
    void loadCounts();
    // Counts one fix for the watcher and stores the whole list.
    void incrementCount(const QUuid &watcherId);

    static QByteArray encode(const QList<CodeCounterModel> &counts);
    static SalvagedList<CodeCounterModel> decode(const QByteArray &json);

Q_SIGNALS:
    void fixedCountChanged();

private:
    void load(const QVariant &stored);

    UserDefaults &m_settings;
    QList<CodeCounterModel> m_fixedCount;
    QByteArray m_stored; // the value as this store last read or wrote it
};
