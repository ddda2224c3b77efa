// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/UsageSignals.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>

Q_LOGGING_CATEGORY(lcUsageSignals, "sprucer.signals", QtWarningMsg)

namespace UsageSignals {

namespace {
QMutex s_mutex;
Sink s_sink;
} // namespace

void signal(const QString &name, const QMap<QString, QString> &parameters,
            std::optional<double> floatValue, std::optional<QString> customUserId)
{
    Sink sink;
    {
        QMutexLocker lock(&s_mutex);
        sink = s_sink;
    }
    if (!sink) {
        qCDebug(lcUsageSignals) << "no analytics client, signal dropped:" << name;
        return;
    }
    sink(UsageSignal{name, parameters, floatValue, std::move(customUserId)});
}

void setSink(Sink sink)
{
    QMutexLocker lock(&s_mutex);
    s_sink = std::move(sink);
}

} // namespace UsageSignals
