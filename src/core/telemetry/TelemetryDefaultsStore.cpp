// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/TelemetryDefaultsStore.h"

TelemetryDefaultsStore::TelemetryDefaultsStore(const TelemetryManagerConfiguration &configuration)
    : m_settings(
          configuration.defaultsStoreFile.isEmpty()
              ? std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            QStringLiteral("Velmora"),
                                            configuration.defaultsSuiteName())
              : std::make_unique<QSettings>(configuration.defaultsStoreFile, QSettings::IniFormat))
{}

void TelemetryDefaultsStore::setValue(const QString &key, const QVariant &value)
{
    // Each write rewrites and syncs the whole file; a value it already holds is not worth one.
    if (m_settings->contains(key) && m_settings->value(key) == value)
        return;
    m_settings->setValue(key, value);
    m_settings->sync();
}
