// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/RawXmlFormatterViewModel.h"

#include "core/formatting/ConfigManagerFactory.h"
#include "core/model/Languages.h"
#include "core/support/Log.h"

#include <QFile>
#include <QStringDecoder>

RawXmlFormatterViewModel::RawXmlFormatterViewModel(ConfigManagerFactory &configManager,
                                                   const std::optional<ConfigurationItem> &existing,
                                                   QObject *parent)
    : QObject(parent)
    , m_configManager(configManager)
{
    if (!existing)
        return;
    m_existing = existing;
    m_existingConfigId = existing->id;
    m_configName = existing->name;
    m_isEditing = true;
    if (const Result<void> loaded = loadText(existing->id); !loaded) {
        Log::line(QStringLiteral("Error loading config rules: ") +
                  loaded.error().fullDescription());
        m_config.clear();
    }
}

Result<void> RawXmlFormatterViewModel::loadText(const QUuid &id)
{
    const Result<ConfigurationItem> item = m_configManager.getConfig(id);
    if (!item)
        return item.error();
    QFile file(item.value().path.toLocalFile());
    if (!file.open(QIODevice::ReadOnly))
        return Error{QStringLiteral("QFileDevice"), file.error(), file.errorString()};
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(file.readAll());
    if (decoder.hasError())
        return Error{QStringLiteral("RawXmlFormatterViewModel"), 261,
                     QStringLiteral("The file is not UTF-8 text.")};
    m_config = std::move(text);
    return {};
}

void RawXmlFormatterViewModel::setConfig(const QString &config)
{
    if (config == m_config)
        return;
    m_config = config;
    Q_EMIT configChanged(m_config);
}

void RawXmlFormatterViewModel::setConfigName(const QString &name)
{
    if (name == m_configName)
        return;
    m_configName = name;
    Q_EMIT configNameChanged(m_configName);
}

QString RawXmlFormatterViewModel::nameConflict(SupportedFileExtension language,
                                               const QString &name) const
{
    // An edited configuration keeps its language, whatever the sheet was opened for.
    if (m_existing)
        language = m_existing->language;
    if (m_existing && name.trimmed() == m_existing->name.trimmed())
        return {};
    if (!m_configManager.namedAlike(language, name, m_existing ? m_existing->id : QUuid()))
        return {};
    return QStringLiteral("Another %1 configuration is already named “%2”.")
        .arg(Languages::of(language).displayName, name.trimmed());
}

Result<void> RawXmlFormatterViewModel::saveConfig(const QUuid &id, const QString &text,
                                                  SupportedFileExtension language,
                                                  const QString &name)
{
    // Checked again here: another window may have taken the name since it was typed.
    if (const QString conflict = nameConflict(language, name); !conflict.isEmpty())
        return Error{QStringLiteral("RawXmlFormatterViewModel"), 409, conflict};
    const Result<ConfigurationItem> saved =
        m_isEditing && m_existingConfigId
            ? m_configManager.updateConfig(*m_existingConfigId, text, name)
            : m_configManager.createConfig(id, text, language, name);
    if (!saved)
        return saved.error();
    return {};
}
