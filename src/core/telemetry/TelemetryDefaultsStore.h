// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/telemetry/TelemetryManagerConfiguration.h"

#include <QSettings>
#include <QVariant>

#include <memory>

// The analytics client's own settings, kept apart from the application's: the user identifier
// and the session history. Used on the client's thread only.
class TelemetryDefaultsStore
{
public:
    // The suite named after the app id, or `defaultsStoreFile` when the configuration sets one.
    explicit TelemetryDefaultsStore(const TelemetryManagerConfiguration &configuration);
    TelemetryDefaultsStore(const TelemetryDefaultsStore &) = delete;
    TelemetryDefaultsStore &operator=(const TelemetryDefaultsStore &) = delete;

    QVariant value(const QString &key) const { return m_settings->value(key); }
    bool contains(const QString &key) const { return m_settings->contains(key); }
    void setValue(const QString &key, const QVariant &value);

private:
    std::unique_ptr<QSettings> m_settings;
};
