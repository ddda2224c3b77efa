// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/ConfigurationItem.h"
#include "core/support/Result.h"

#include <QObject>
#include <QString>
#include <QUuid>

#include <optional>

class ConfigManagerFactory;

// What the configuration editor sheet edits: one configuration's name and text, new or
// existing, saved through the store. Main thread.
class RawXmlFormatterViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString config READ config WRITE setConfig NOTIFY configChanged)
    Q_PROPERTY(QString configName READ configName WRITE setConfigName NOTIFY configNameChanged)

public:
    // With an existing configuration its name and its file's text are loaded; a text that
    // cannot be read is logged and left empty.
    explicit RawXmlFormatterViewModel(ConfigManagerFactory &configManager,
                                      const std::optional<ConfigurationItem> &existing = {},
                                      QObject *parent = nullptr);

    QString config() const { return m_config; }
    void setConfig(const QString &config);
    QString configName() const { return m_configName; }
    void setConfigName(const QString &name);
    bool isEditing() const { return m_isEditing; }
    std::optional<QUuid> existingConfigId() const { return m_existingConfigId; }

    // Why `name` cannot be saved: another configuration of the language has it. A name the
    // configuration already had stays allowed, as a list stored before names were unique may
    // hold it twice. Empty when the name is free.
    QString nameConflict(SupportedFileExtension language, const QString &name) const;

    // An edited configuration keeps its id, file and language: `id` and `language` serve a
    // new one only.
    Result<void> saveConfig(const QUuid &id, const QString &text, SupportedFileExtension language,
                            const QString &name);

Q_SIGNALS:
    void configChanged(const QString &config);
    void configNameChanged(const QString &name);

private:
    Result<void> loadText(const QUuid &id);

    ConfigManagerFactory &m_configManager;
    QString m_config;
    QString m_configName;
    bool m_isEditing = false;
    std::optional<QUuid> m_existingConfigId;
    std::optional<ConfigurationItem> m_existing;
};
