// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/Console.h"

#include <QMutex>
#include <QMutexLocker>

#include <cstdio>

namespace Console {

namespace {
QMutex s_mutex;
Sink s_sink;
} // namespace

void writeLine(const QString &line)
{
    QMutexLocker locker(&s_mutex);
    if (s_sink) {
        s_sink(line);
        return;
    }
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void setSink(Sink sink)
{
    QMutexLocker locker(&s_mutex);
    s_sink = std::move(sink);
}

} // namespace Console
