// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/TelemetryLog.h"

#include <QLoggingCategory>

// Off by default: while the service is out of reach a line every ten seconds would fill the
// terminal and the journal of a headless agent. QT_LOGGING_RULES="sprucer.telemetry=true" shows it.
Q_LOGGING_CATEGORY(lcTelemetry, "sprucer.telemetry", QtCriticalMsg)

TelemetryLogger::TelemetryLogger(Handler handler, bool showDebugLogs)
    : m_handler(handler ? std::move(handler) : categoryHandler())
    , m_showDebugLogs(showDebugLogs)
{}

void TelemetryLogger::log(TelemetryLogLevel level, const QString &message) const
{
    if (level == TelemetryLogLevel::Debug && !m_showDebugLogs)
        return;
    m_handler(level, line(level, message));
}

QString TelemetryLogger::levelName(TelemetryLogLevel level)
{
    switch (level) {
    case TelemetryLogLevel::Debug:
        return QStringLiteral("debug");
    case TelemetryLogLevel::Info:
        return QStringLiteral("info");
    case TelemetryLogLevel::Warning:
        return QStringLiteral("warning");
    case TelemetryLogLevel::Error:
        return QStringLiteral("error");
    }
    return {};
}

QString TelemetryLogger::line(TelemetryLogLevel level, const QString &message)
{
    return QStringLiteral("[TelemetryDeck: ") + levelName(level) + QStringLiteral("] ") + message;
}

TelemetryLogger::Handler TelemetryLogger::categoryHandler()
{
    return [](TelemetryLogLevel level, const QString &line) {
        switch (level) {
        // Debug lines only get here when they were asked for, so they are shown like info.
        case TelemetryLogLevel::Debug:
        case TelemetryLogLevel::Info:
            qCInfo(lcTelemetry).noquote() << line;
            break;
        case TelemetryLogLevel::Warning:
        case TelemetryLogLevel::Error:
            qCWarning(lcTelemetry).noquote() << line;
            break;
        }
    };
}
