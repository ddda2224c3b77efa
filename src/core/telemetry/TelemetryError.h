// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// Why the analytics service refused a batch of signals, judged by the HTTP status alone.
class TelemetryError
{
public:
    enum class Kind
    {
        InvalidStatusCode,
        Unauthorised,
        Forbidden,
        PayloadTooLarge
    };

    // Nothing for a 2xx status.
    static std::optional<TelemetryError> fromStatusCode(int statusCode);

    Kind kind() const { return m_kind; }
    int statusCode() const { return m_statusCode; }
    QString description() const;

    friend bool operator==(const TelemetryError &, const TelemetryError &) = default;

private:
    TelemetryError(Kind kind, int statusCode)
        : m_kind(kind)
        , m_statusCode(statusCode)
    {}

    Kind m_kind;
    int m_statusCode;
};
