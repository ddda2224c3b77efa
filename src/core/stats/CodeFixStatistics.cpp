// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stats/CodeFixStatistics.h"

#include "core/support/StoredForms.h"
#include "core/support/StoredValueBackup.h"
#include "core/support/UserDefaults.h"

#include <QMetaObject>
#include <QTimeZone>

namespace {
const QString kDate = QStringLiteral("date");
const QString kCount = QStringLiteral("count");
const QString kLanguage = QStringLiteral("language");

QJsonObject storedObject(const DailyFix &fix)
{
    return QJsonObject{
        {kDate, StoredForms::dateNumber(fix.date)}, {kCount, fix.count}, {kLanguage, fix.language}};
}

// The zone local times are read in. Its offset now is part of it: a zone file replaced by a
// copy, rather than relinked, keeps the name Qt reports.
QByteArray currentZone()
{
    return QTimeZone::systemTimeZoneId() + ' ' +
           QByteArray::number(QDateTime::currentDateTime().offsetFromUtc());
}
} // namespace

CodeFixStatistics::CodeFixStatistics(UserDefaults &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
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
    m_zone.clear();
    followZone();
    Q_EMIT dailyFixesChanged();
}

CodeFixStatistics::Worked CodeFixStatistics::workOut(const DailyFix &fix)
{
    return {fix.date.toLocalTime().date(),
            StoredForms::compactJsonEscapingSlashes(QJsonDocument(storedObject(fix)))};
}

void CodeFixStatistics::followZone()
{
    QByteArray zone = currentZone();
    if (zone == m_zone && m_worked.size() == m_dailyFixes.size())
        return;
    m_worked.clear();
    m_worked.reserve(m_dailyFixes.size());
    for (const DailyFix &fix : std::as_const(m_dailyFixes))
        m_worked.append(workOut(fix));
    m_zone = std::move(zone);
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
    followZone();
    const QDate day = today.date();
    qsizetype at = 0;
    while (at < m_dailyFixes.size() &&
           !(m_worked[at].day == day && m_dailyFixes[at].language == language))
        ++at;
    const DailyFix fix{today, at < m_dailyFixes.size() ? m_dailyFixes[at].count + 1 : 1, language};
    if (at < m_dailyFixes.size()) {
        m_dailyFixes[at] = fix;
        m_worked[at] = workOut(fix);
    } else {
        m_dailyFixes.append(fix);
        m_worked.append(workOut(fix));
    }
    Q_EMIT dailyFixesChanged();
    store();
}

QList<DailyFix> CodeFixStatistics::lastYearFixes() const
{
    const QDate cutOff = startOfToday().date().addYears(-1);
    // The days worked out hold only while the zone they were worked out in does.
    const bool known = m_zone == currentZone() && m_worked.size() == m_dailyFixes.size();
    QList<DailyFix> result;
    for (qsizetype i = 0; i < m_dailyFixes.size(); ++i) {
        const DailyFix &fix = m_dailyFixes[i];
        if (known ? m_worked[i].day >= cutOff : fix.date >= cutOff.startOfDay())
            result.append(fix);
    }
    return result;
}

void CodeFixStatistics::loadStatistics()
{
    const QVariant stored = m_settings.value(storageKey);
    if (!stored.isValid())
        return;
    const SalvagedList<DailyFix> fixes = decode(stored.toByteArray());
    if (!fixes.whole())
        StoredValueBackup::keep(m_settings, storageKey, stored);
    setDailyFixes(fixes.items);
}

void CodeFixStatistics::saveStatistics()
{
    followZone();
    store();
}

// The array `encode` would write, put together from the records' own stored forms.
void CodeFixStatistics::store()
{
    qsizetype size = 2 + m_worked.size();
    for (const Worked &worked : std::as_const(m_worked))
        size += worked.stored.size();
    QByteArray json;
    json.reserve(size);
    json += '[';
    for (qsizetype i = 0; i < m_worked.size(); ++i) {
        if (i > 0)
            json += ',';
        json += m_worked[i].stored;
    }
    json += ']';
    m_settings.setValue(storageKey, json);
}

QByteArray CodeFixStatistics::encode(const QList<DailyFix> &fixes)
{
    return StoredForms::encodeObjectArray<DailyFix>(fixes, storedObject);
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
