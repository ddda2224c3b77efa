// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/ConfigurationItem.h"
#include "core/support/Result.h"
#include "core/support/SalvagedList.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <optional>

class UserDefaults;

// The store of formatter configurations. The list lives in the user defaults under "Configs";
// each configuration's text is a UTF-8 file "<id>.yml" in the configurations folder.
// `CoreServices` makes the one store of the process and hands it to the screens, the table
// model, the fixer factory and the health check, so each hears of the others' changes.
// Not thread-safe by itself: they use it from the main thread.
class ConfigManagerFactory : public QObject
{
    Q_OBJECT

public:
    static inline const QString storageKey = QStringLiteral("Configs");

    explicit ConfigManagerFactory(UserDefaults &settings, QObject *parent = nullptr);

    // The configurations that decode; a value that does not decode whole is backed up.
    QList<ConfigurationItem> configs() const;
    void setConfigs(const QList<ConfigurationItem> &items);

    Result<QUrl> configURL(const QUuid &id) const;
    Result<ConfigurationItem> getConfig(const QUuid &id) const;

    // Writes the file first; the list changes only when the file is on disk.
    Result<ConfigurationItem> createConfig(const QUuid &id, const QString &text,
                                           SupportedFileExtension language, const QString &name);
    Result<ConfigurationItem> updateConfig(const QUuid &id, const QString &text,
                                           const QString &name);
    Result<QUrl> createConfigFile(const QUuid &id, const QString &text);
    // The list entry goes first, then its file: a file without an entry is never listed or
    // reused. The caller makes sure no watcher uses it.
    Result<void> removeConfig(const QUuid &id);

    // Another configuration of the language under the same name (spaces around it aside), the
    // one of `except` left out: names are how the lists and menus tell them apart.
    std::optional<ConfigurationItem> namedAlike(SupportedFileExtension language,
                                                const QString &name,
                                                const QUuid &except = {}) const;

    // Domain "ConfigManagerFactory", code 404, "Configuration not found".
    static Error notFoundError();

    static QByteArray encode(const QList<ConfigurationItem> &items);
    static SalvagedList<ConfigurationItem> decode(const QByteArray &json);

Q_SIGNALS:
    // The stored list was written through this store; emitted on its thread, on the next turn
    // of its event loop.
    void configsChanged();

private:
    UserDefaults &m_settings;
    // The last list that decoded whole and the stored text it came from: a fixer is made for
    // every watcher restored, and each would decode the same text again.
    mutable QString m_decodedFrom;
    mutable QList<ConfigurationItem> m_decoded;
};
