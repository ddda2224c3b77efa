// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stats/CounterStore.h"

#include "core/support/StoredForms.h"
#include "core/support/StoredValueBackup.h"
#include "core/support/UserDefaults.h"

#include <QThread>

namespace {
const QString kId = QStringLiteral("id");
const QString kFixedCount = QStringLiteral("fixedCount");
} // namespace

CounterStore::CounterStore(UserDefaults &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
{
    loadCounts();
}

void CounterStore::setFixedCount(const QList<CodeCounterModel> &counts)
{
    m_fixedCount = counts;
    Q_EMIT fixedCountChanged();
}

qint64 CounterStore::countFor(const QUuid &watcherId) const
{
    for (const CodeCounterModel &counter : m_fixedCount) {
        if (counter.id == watcherId)
            return counter.fixedCount;
    }
    return 0;
}

void CounterStore::loadCounts()
{
    load(m_settings.value(counterKey));
}

void CounterStore::load(const QVariant &stored)
{
    if (!stored.isValid())
        return;
    m_stored = stored.toByteArray();
    const SalvagedList<CodeCounterModel> counts = decode(m_stored);
    if (!counts.whole())
        StoredValueBackup::keep(m_settings, counterKey, stored);
    setFixedCount(counts.items);
}

void CounterStore::incrementCount(const QUuid &watcherId)
{
    if (const QVariant stored = m_settings.value(counterKey); stored.toByteArray() != m_stored)
        load(stored);
    QList<CodeCounterModel> counts = m_fixedCount;
    auto found = std::find_if(counts.begin(), counts.end(),
                              [&](const CodeCounterModel &c) { return c.id == watcherId; });
    if (found == counts.end())
        found = counts.insert(counts.end(), CodeCounterModel{watcherId, 0});
    ++found->fixedCount;
    setFixedCount(counts);
    m_stored = encode(m_fixedCount);
    m_settings.setValue(counterKey, m_stored);
}

QByteArray CounterStore::encode(const QList<CodeCounterModel> &counts)
{
    return StoredForms::encodeObjectArray<CodeCounterModel>(counts, [](const CodeCounterModel &c) {
        return QJsonObject{{kId, StoredForms::uuidText(c.id)}, {kFixedCount, c.fixedCount}};
    });
}

SalvagedList<CodeCounterModel> CounterStore::decode(const QByteArray &json)
{
    return StoredForms::salvageObjectArray<CodeCounterModel>(
        json, [](const QJsonObject &object) -> std::optional<CodeCounterModel> {
            const auto id = StoredForms::uuidField(object, kId);
            const auto fixedCount = StoredForms::countField(object, kFixedCount);
            if (!id || !fixedCount)
                return std::nullopt;
            return CodeCounterModel{*id, *fixedCount};
        });
}
