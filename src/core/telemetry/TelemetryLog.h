// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

enum class TelemetryLogLevel
{
    Debug,
    Info,
    Warning,
    Error
};

// Where the analytics client's log lines go. Every line reads
// "[TelemetryDeck: <level>] <message>"; debug lines are dropped unless asked for.
// Called on the client's own thread; the handler must be safe to call from there.
class TelemetryLogger
{
public:
    using Handler = std::function<void(TelemetryLogLevel level, const QString &line)>;

    TelemetryLogger() = default;
    TelemetryLogger(Handler handler, bool showDebugLogs);

    void log(TelemetryLogLevel level, const QString &message) const;
    void debug(const QString &message) const { log(TelemetryLogLevel::Debug, message); }
    void warning(const QString &message) const { log(TelemetryLogLevel::Warning, message); }
    void error(const QString &message) const { log(TelemetryLogLevel::Error, message); }

    static QString levelName(TelemetryLogLevel level);
    static QString line(TelemetryLogLevel level, const QString &message);
    // Sends the lines to the "sprucer.telemetry" logging category.
    static Handler categoryHandler();

private:
    Handler m_handler = categoryHandler();
    bool m_showDebugLogs = false;
};
