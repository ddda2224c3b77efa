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
    if (const QVariant stored = m_settings.value(storageKey); stored.toByteArray() != m_stored) {
        if (!takeIn(stored.toByteArray()))
            load(stored);
    }
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
    load(m_settings.value(storageKey));
}

void CodeFixStatistics::load(const QVariant &stored)
{
    if (!stored.isValid())
        return;
    m_stored = stored.toByteArray();
    const SalvagedList<DailyFix> fixes = decode(m_stored);
    if (!fixes.whole())
        StoredValueBackup::keep(m_settings, storageKey, stored);
    setDailyFixes(fixes.items);
}

// The other process's list is ours with some records counted on and others added, in the same
// stored forms: a record whose form is the one we hold at its place is kept as it is, and only
// the others are decoded, since decoding and working out a year of records costs many fixes.
bool CodeFixStatistics::takeIn(const QByteArray &stored)
{
    followZone();
    if (!stored.startsWith('[') || !stored.endsWith(']'))
        return false;
    QList<DailyFix> fixes;
    QList<Worked> worked;
    qsizetype at = stored.size() == 2 ? stored.size() : 1;
    while (at < stored.size()) {
        const qsizetype end = recordEnd(stored, at);
        if (end < 0 || (stored[end] != ',' && end != stored.size() - 1))
            return false;
        const QByteArrayView form = QByteArrayView(stored).sliced(at, end - at);
        const qsizetype index = fixes.size();
        if (index < m_worked.size() && form == m_worked[index].stored) {
            fixes.append(m_dailyFixes[index]);
            worked.append(m_worked[index]);
        } else {
            const SalvagedList<DailyFix> one = decode('[' + form.toByteArray() + ']');
            if (!one.whole() || one.items.size() != 1)
                return false;
            fixes.append(one.items.first());
            worked.append(workOut(one.items.first()));
        }
        at = end + 1;
    }
    m_dailyFixes = std::move(fixes);
    m_worked = std::move(worked);
    m_stored = stored;
    Q_EMIT dailyFixesChanged();
    return true;
}

// One past the end of the stored record that begins at `at`, or -1 when none begins there.
qsizetype CodeFixStatistics::recordEnd(QByteArrayView json, qsizetype at)
{
    if (at >= json.size() || json[at] != '{')
        return -1;
    bool quoted = false;
    for (qsizetype i = at + 1; i < json.size(); ++i) {
        const char c = json[i];
        if (quoted) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '}') {
            return i + 1;
        } else if (c == '{' || c == '[') {
            return -1; // records hold no nested values
        }
    }
    return -1;
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
    m_stored = json;
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
