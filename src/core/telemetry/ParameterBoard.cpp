// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/ParameterBoard.h"

void ParameterBoard::publish(QMap<QString, QString> values)
{
    const QMutexLocker lock(&m_mutex);
    m_values = std::move(values);
}

QMap<QString, QString> ParameterBoard::values() const
{
    const QMutexLocker lock(&m_mutex);
    return m_values;
}

TelemetryManagerConfiguration::ParameterProvider ParameterBoard::provider()
{
    return [board = shared_from_this()] {
        return board->values();
    };
}
