// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stats/CodeFixStatistics.h"

#include "core/support/StoredForms.h"
#include "core/support/StoredValueBackup.h"
#include "core/support/UserDefaults.h"

#include <QMetaObject>

namespace {
const QString kDate = QStringLiteral("date");
const QString kCount = QStringLiteral("count");
const QString kLanguage = QStringLiteral("language");
} // namespace

CodeFixStatistics::CodeFixStatistics(QObject *parent)
    : QObject(parent)
    , m_clock([] { return QDateTime::currentDateTime(); })
{
    loadStatistics();
}

void CodeFixStatistics::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

void CodeFixStatistics::setDailyFixes(const QList<DailyFix> &fixes)
{
    m_dailyFixes = fixes;
    Q_EMIT dailyFixesChanged();
}

QDateTime CodeFixStatistics::startOfToday() const
{
    return m_clock().toLocalTime().date().startOfDay();
}

void CodeFixStatistics::recordFix(const QString &language)
{
    const QDateTime today = startOfToday();
    // Runs at once on the main thread, queued from any other.
    QMetaObject::invokeMethod(this, [this, today, language] { applyFix(today, language); });
}

void CodeFixStatistics::applyFix(const QDateTime &today, const QString &language)
{
    QList<DailyFix> fixes = m_dailyFixes;
    const QDate day = today.date();
    auto found = std::find_if(fixes.begin(), fixes.end(), [&](const DailyFix &fix) {
        return fix.date.toLocalTime().date() == day && fix.language == language;
    });
    if (found != fixes.end())
        *found = DailyFix{today, found->count + 1, language};
    else
        fixes.append(DailyFix{today, 1, language});
    setDailyFixes(fixes);
    saveStatistics();
}

QList<DailyFix> CodeFixStatistics::lastYearFixes() const
{
    const QDateTime cutOff = startOfToday().date().addYears(-1).startOfDay();
    QList<DailyFix> result;
    for (const DailyFix &fix : m_dailyFixes) {
        if (fix.date >= cutOff)
            result.append(fix);
    }
    return result;
}

void CodeFixStatistics::loadStatistics()
{
    const QVariant stored = UserDefaults::value(storageKey);
    if (!stored.isValid())
        return;
    const SalvagedList<DailyFix> fixes = decode(stored.toByteArray());
    if (!fixes.whole())
        StoredValueBackup::keep(storageKey, stored);
    setDailyFixes(fixes.items);
}

void CodeFixStatistics::saveStatistics()
{
    UserDefaults::setValue(storageKey, encode(m_dailyFixes));
}

QByteArray CodeFixStatistics::encode(const QList<DailyFix> &fixes)
{
    return StoredForms::encodeObjectArray<DailyFix>(fixes, [](const DailyFix &fix) {
        return QJsonObject{{kDate, StoredForms::dateNumber(fix.date)},
                           {kCount, fix.count},
                           {kLanguage, fix.language}};
    });
}

SalvagedList<DailyFix> CodeFixStatistics::decode(const QByteArray &json)
{
    return StoredForms::salvageObjectArray<DailyFix>(
        json, [](const QJsonObject &object) -> std::optional<DailyFix> {
            const auto date = StoredForms::dateField(object, kDate);
            const auto count = StoredForms::countField(object, kCount);
            const auto language = StoredForms::stringField(object, kLanguage);
            if (!date || !count || !language)
                return std::nullopt;
            return DailyFix{date->toLocalTime(), *count, *language};
        });
}
