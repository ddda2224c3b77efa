// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ConfigManagerFactory.h"

#include "core/support/AppPaths.h"
#include "core/support/Log.h"
#include "core/support/StoredForms.h"
#include "core/support/StoredValueBackup.h"
#include "core/support/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>

namespace {

Error decodingError(const QString &reason)
{
    return Error{QStringLiteral("ConfigurationList"), 4864,
                 QStringLiteral("The stored configuration list could not be read: ") + reason};
}

Error fileError(const QString &path, const QFileDevice &file)
{
    return Error{QStringLiteral("QFileDevice"), file.error(),
                 QStringLiteral("Could not write \"%1\": %2").arg(path, file.errorString())};
}

Result<void> writeAtomically(const QString &path, const QString &text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fileError(path, file);
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        return fileError(path, file);
    return {};
}

} // namespace

ConfigManagerFactory::ConfigManagerFactory(UserDefaults &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
{}

Error ConfigManagerFactory::notFoundError()
{
    return Error{QStringLiteral("ConfigManagerFactory"), 404,
                 QStringLiteral("Configuration not found")};
}

QByteArray ConfigManagerFactory::encode(const QList<ConfigurationItem> &items)
{
    return StoredForms::encodeObjectArray<ConfigurationItem>(
        items, [](const ConfigurationItem &item) { return item.toJson(); });
}

SalvagedList<ConfigurationItem> ConfigManagerFactory::decode(const QByteArray &json)
{
    return StoredForms::salvageObjectArray<ConfigurationItem>(json, &ConfigurationItem::fromJson);
}

QList<ConfigurationItem> ConfigManagerFactory::configs() const
{
    const QVariant stored = m_settings.value(storageKey);
    if (!stored.isValid())
        return {};
    const QString text = stored.toString();
    if (!m_decodedFrom.isNull() && text == m_decodedFrom)
        return m_decoded;
    const SalvagedList<ConfigurationItem> items = decode(text.toUtf8());
    if (!items.whole()) {
        StoredValueBackup::keep(m_settings, storageKey, stored);
        Log::line(QStringLiteral("Error: ") + decodingError(items.fault).fullDescription());
    } else {
        m_decodedFrom = text;
        m_decoded = items.items;
    }
    return items.items;
}

void ConfigManagerFactory::setConfigs(const QList<ConfigurationItem> &items)
{
    const QString json = QString::fromUtf8(encode(items));
    Log::line(QStringLiteral("Returning ") + json);
    m_settings.setValue(storageKey, json);
    // Queued: the caller finishes its own change before any observer reloads.
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT configsChanged(); }, Qt::QueuedConnection);
}

Result<ConfigurationItem> ConfigManagerFactory::getConfig(const QUuid &id) const
{
    for (const ConfigurationItem &item : configs()) {
        if (item.id == id)
            return item;
    }
    return notFoundError();
}

std::optional<ConfigurationItem> ConfigManagerFactory::namedAlike(SupportedFileExtension language,
                                                                  const QString &name,
                                                                  const QUuid &except) const
{
    const QString wanted = name.trimmed();
    for (const ConfigurationItem &item : configs()) {
        if (item.language == language && item.id != except && item.name.trimmed() == wanted)
            return item;
    }
    return std::nullopt;
}

Result<QUrl> ConfigManagerFactory::configURL(const QUuid &id) const
{
    Result<ConfigurationItem> item = getConfig(id);
    if (!item)
        return item.error();
    return item.value().path;
}

Result<QUrl> ConfigManagerFactory::createConfigFile(const QUuid &id, const QString &text)
{
    const QString supportDirectory = AppPaths::applicationSupportDirectory();
    if (supportDirectory.isEmpty() || !QDir().mkpath(supportDirectory)) {
        return Error{QStringLiteral("ConfigManagerFactory"), 1,
                     QStringLiteral("The application support folder \"%1\" is not available.")
                         .arg(supportDirectory)};
    }
    // A failure here shows up as the write's own error just below.
    QDir().mkpath(AppPaths::configurationsDirectory());
    const QString path = AppPaths::configurationsDirectory() + u'/' + StoredForms::uuidText(id) +
                         QStringLiteral(".yml");
    if (const Result<void> written = writeAtomically(path, text); !written) {
        Log::line(QStringLiteral("Error creating file: ") + written.error().fullDescription());
        return written.error();
    }
    return QUrl::fromLocalFile(path);
}

Result<ConfigurationItem> ConfigManagerFactory::createConfig(const QUuid &id, const QString &text,
                                                             SupportedFileExtension language,
                                                             const QString &name)
{
    Result<QUrl> file = createConfigFile(id, text);
    if (!file)
        return file.error();
    const ConfigurationItem item{id, name, file.value(), language, QDateTime::currentDateTime()};
    QList<ConfigurationItem> items = configs();
    items.append(item);
    setConfigs(items);
    return item;
}

Result<void> ConfigManagerFactory::removeConfig(const QUuid &id)
{
    QList<ConfigurationItem> items = configs();
    const auto found = std::find_if(items.cbegin(), items.cend(),
                                    [&](const ConfigurationItem &item) { return item.id == id; });
    if (found == items.cend())
        return notFoundError();
    const QString file = found->path.toLocalFile();
    items.erase(found);
    setConfigs(items);
    if (QFile::exists(file) && !QFile::remove(file))
        Log::line(QStringLiteral("Could not remove the configuration file ") + file);
    return {};
}

Result<ConfigurationItem> ConfigManagerFactory::updateConfig(const QUuid &id, const QString &text,
                                                             const QString &name)
{
    QList<ConfigurationItem> items = configs();
    for (ConfigurationItem &item : items) {
        if (item.id != id)
            continue;
        if (const Result<void> written = writeAtomically(item.path.toLocalFile(), text); !written)
            return written.error();
        item.name = name;
        setConfigs(items);
        return item;
    }
    return notFoundError();
}
