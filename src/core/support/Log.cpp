// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/Log.h"

#include "core/support/SprucerLogger.h"

#include <atomic>

namespace {

std::atomic<LogSink *> installedSink = nullptr;

} // namespace

void Log::line(const QString &message)
{
    if (LogSink *sink = installedSink.load(std::memory_order_acquire))
        sink->log(message);
    else
        SprucerLogger::shared().log(message);
}

void Log::setSink(LogSink *sink)
{
    installedSink.store(sink, std::memory_order_release);
}
