// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/telemetry/SignalPostBody.h"
#include "core/telemetry/TelemetryManagerConfiguration.h"
#include "support/TestMain.h"

#include <QFile>
#include <QMutex>
#include <QTimeZone>

#include <memory>

using namespace Qt::StringLiterals;

// Collects the client's log lines, which it writes from its own thread.
struct LogCapture
{
    std::shared_ptr<std::pair<QMutex, QStringList>> state =
        std::make_shared<std::pair<QMutex, QStringList>>();

    TelemetryLogger::Handler handler() const
    {
        return [s = state](TelemetryLogLevel, const QString &line) {
            QMutexLocker lock(&s->first);
            s->second.append(line);
        };
    }
    QStringList lines() const
    {
        QMutexLocker lock(&state->first);
        return state->second;
    }
};

inline const QString kAppID = u"6F1C2B9E-4D3A-4E7B-9A15-C08D2E7F3B41"_s;

inline QString cacheFile()
{
    return TestHome::current().cacheDirectory() + u"/Sprucer/telemetrysignalcache"_s;
}

// Its files lie where TestHome::reset clears them; it sends at start and when asked only.
inline TelemetryManagerConfiguration testConfiguration(const LogCapture &log,
                                                       const QUrl &url = QUrl(u"https://x.test"_s))
{
    TelemetryManagerConfiguration config(kAppID, QString(), url);
    config.sendInterval = std::chrono::hours(1);
    config.shutdownGrace = std::chrono::milliseconds(200);
    config.cacheFile = cacheFile();
    config.defaultsStoreFile = TestHome::current().dataDirectory() + u"/Sprucer/telemetry.ini"_s;
    config.logHandler = log.handler();
    return config;
}

inline QList<SignalPostBody> decoded(const QByteArray &json)
{
    return SignalPostBody::decodeList(json).value_or(QList<SignalPostBody>());
}

inline QList<SignalPostBody> cacheFileContent()
{
    QFile file(cacheFile());
    return file.open(QIODevice::ReadOnly) ? decoded(file.readAll()) : QList<SignalPostBody>();
}

// Distinct, fully formed bodies: the index shows in the type, and the other fields vary.
inline QList<SignalPostBody> sampleBodies(int first, int count)
{
    QList<SignalPostBody> bodies;
    for (int i = first; i < first + count; ++i) {
        const QTimeZone zone(i % 2 ? 3600 : -(9 * 3600 + 1800));
        bodies.append({QDateTime(QDate(2025, 1, 31), QTime(14, 5, 9), zone),
                       kAppID,
                       u"ab12"_s,
                       QUuid::fromString(u"0E6A7D3C-1B2F-4A5E-8C9D-0F1E2D3C4B5A"_s),
                       u"Signal%1"_s.arg(i),
                       i % 2 ? std::optional(i / -8.0) : std::nullopt,
                       {{u"index"_s, QString::number(i)}},
                       i % 3 == 0});
    }
    return bodies;
}
