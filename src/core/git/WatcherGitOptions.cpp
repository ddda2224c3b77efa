// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/git/WatcherGitOptions.h"

#include "core/support/StoredForms.h"
#include "core/support/UserDefaults.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString kChangedLines = QStringLiteral("changedLines");
const QString kRespectGitignore = QStringLiteral("respectGitignore");

QJsonObject storedEntries(const UserDefaults &settings)
{
    return QJsonDocument::fromJson(settings.value(WatcherGitOptions::storageKey).toByteArray())
        .object();
}

void store(UserDefaults &settings, const QJsonObject &entries)
{
    if (entries.isEmpty())
        settings.remove(WatcherGitOptions::storageKey);
    else
        settings.setValue(WatcherGitOptions::storageKey,
                          QJsonDocument(entries).toJson(QJsonDocument::Compact));
}

} // namespace

WatcherGitOptions::WatcherGitOptions(UserDefaults &settings)
    : m_settings(settings)
{}

GitOptions WatcherGitOptions::of(const QUuid &watcherId) const
{
    const std::lock_guard lock(m_mutex);
    const QJsonObject entry =
        storedEntries(m_settings).value(StoredForms::uuidText(watcherId)).toObject();
    return {StoredForms::boolField(entry, kChangedLines).value_or(false),
            StoredForms::boolField(entry, kRespectGitignore).value_or(false)};
}

void WatcherGitOptions::set(const QUuid &watcherId, const GitOptions &options)
{
    const std::lock_guard lock(m_mutex);
    QJsonObject entries = storedEntries(m_settings);
    entries.insert(StoredForms::uuidText(watcherId),
                   QJsonObject{{kChangedLines, options.changedLinesOnly},
                               {kRespectGitignore, options.respectGitignore}});
    store(m_settings, entries);
}

void WatcherGitOptions::adopt(const QUuid &watcherId)
{
    {
        const std::lock_guard lock(m_mutex);
        if (storedEntries(m_settings).contains(StoredForms::uuidText(watcherId)))
            return;
    }
    set(watcherId, GitOptions::forNewWatcher());
}

void WatcherGitOptions::forget(const QUuid &watcherId)
{
    const std::lock_guard lock(m_mutex);
    QJsonObject entries = storedEntries(m_settings);
    entries.remove(StoredForms::uuidText(watcherId));
    store(m_settings, entries);
}
