// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stats/CounterStore.h"

#include "core/support/MainThreadInstance.h"
#include "core/support/StoredForms.h"
#include "core/support/UserDefaults.h"

#include <QJsonArray>
#include <QThread>

namespace {
const QString kId = QStringLiteral("id");
const QString kFixedCount = QStringLiteral("fixedCount");
} // namespace

CounterStore &CounterStore::shared()
{
    return mainThreadInstance<CounterStore>();
}

CounterStore::CounterStore(QObject *parent)
    : QObject(parent)
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
    const QVariant stored = UserDefaults::value(counterKey);
    if (!stored.isValid())
        return;
    if (std::optional<QList<CodeCounterModel>> counts = decode(stored.toByteArray()))
        setFixedCount(*counts);
}

void CounterStore::incrementCount(const QUuid &watcherId)
{
    QList<CodeCounterModel> counts = m_fixedCount;
    auto found = std::find_if(counts.begin(), counts.end(),
                              [&](const CodeCounterModel &c) { return c.id == watcherId; });
    if (found == counts.end())
        found = counts.insert(counts.end(), CodeCounterModel{watcherId, 0});
    ++found->fixedCount;
    setFixedCount(counts);
    UserDefaults::setValue(counterKey, encode(m_fixedCount));
}

QByteArray CounterStore::encode(const QList<CodeCounterModel> &counts)
{
    QJsonArray array;
    for (const CodeCounterModel &counter : counts)
        array.append(QJsonObject{{kId, StoredForms::uuidText(counter.id)},
                                 {kFixedCount, counter.fixedCount}});
    return StoredForms::compactJsonEscapingSlashes(QJsonDocument(array));
}

std::optional<QList<CodeCounterModel>> CounterStore::decode(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QList<CodeCounterModel> counts;
    for (const QJsonValue &value : document.array()) {
        const QJsonObject object = value.toObject();
        const auto id = StoredForms::uuidField(object, kId);
        const auto fixedCount = StoredForms::integerField(object, kFixedCount);
        if (!value.isObject() || !id || !fixedCount)
            return std::nullopt;
        counts.append(CodeCounterModel{*id, *fixedCount});
    }
    return counts;
}
