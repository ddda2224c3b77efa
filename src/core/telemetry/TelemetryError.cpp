// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/TelemetryError.h"

std::optional<TelemetryError> TelemetryError::fromStatusCode(int statusCode)
{
    if (statusCode >= 200 && statusCode <= 299)
        return std::nullopt;
    switch (statusCode) {
    case 401:
        return TelemetryError(Kind::Unauthorised, statusCode);
    case 403:
        return TelemetryError(Kind::Forbidden, statusCode);
    case 413:
        return TelemetryError(Kind::PayloadTooLarge, statusCode);
    default:
        return TelemetryError(Kind::InvalidStatusCode, statusCode);
    }
}

QString TelemetryError::description() const
{
    switch (m_kind) {
    case Kind::InvalidStatusCode:
        return QStringLiteral("Invalid status code ") + QString::number(m_statusCode);
    case Kind::Unauthorised:
        return QStringLiteral("Unauthorized (401)");
    case Kind::Forbidden:
        return QStringLiteral("Forbidden (403)");
    case Kind::PayloadTooLarge:
        return QStringLiteral("Payload is too large (413)");
    }
    return {};
}
