// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/telemetry/TelemetryManagerConfiguration.h"

#include <QMap>
#include <QMutex>
#include <QString>

#include <memory>

// Parameters that another thread knows and may change at any time (the GUI's screen and
// appearance), read by the analytics client on its own thread at every signal.
class ParameterBoard : public std::enable_shared_from_this<ParameterBoard>
{
public:
    void publish(QMap<QString, QString> values);
    QMap<QString, QString> values() const;

    // For the client's configuration; keeps the board alive as long as the client needs it.
    TelemetryManagerConfiguration::ParameterProvider provider();

private:
    mutable QMutex m_mutex;
    QMap<QString, QString> m_values;
};
