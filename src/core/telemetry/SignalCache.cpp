// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/SignalCache.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMutexLocker>
#include <QSaveFile>

#include <algorithm>

namespace {

// The GUI and the headless agent may run side by side and share the file.
std::unique_ptr<QLockFile> lockCacheFile(const QString &path)
{
    auto lock = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
    // Best effort only: a lock that cannot be had within a second must not hold up quitting.
    if (!lock->tryLock(1000))
        lock.reset();
    return lock;
}

std::optional<QList<SignalPostBody>> readCacheFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return SignalPostBody::decodeList(file.readAll());
}

} // namespace

SignalCache::SignalCache(TelemetryLogger logger, int maximumCount)
    : m_logger(std::move(logger))
    , m_maximumCount(std::max(maximumCount, 1))
{}

void SignalCache::push(const SignalPostBody &body)
{
    QMutexLocker lock(&m_mutex);
    m_cachedSignals.append(body);
    enforceLimitLocked();
}

void SignalCache::putBack(const QList<SignalPostBody> &batch)
{
    QMutexLocker lock(&m_mutex);
    m_cachedSignals = batch + m_cachedSignals;
    enforceLimitLocked();
}

QList<SignalPostBody> SignalCache::pop()
{
    QMutexLocker lock(&m_mutex);
    const qsizetype n =
        std::min<qsizetype>(m_cachedSignals.size(), maximumNumberOfSignalsToPopAtOnce);
    QList<SignalPostBody> batch = m_cachedSignals.first(n);
    m_cachedSignals.remove(0, n);
    if (m_cachedSignals.size() < m_maximumCount)
        m_dropping = false;
    return batch;
}

int SignalCache::count() const
{
    QMutexLocker lock(&m_mutex);
    return static_cast<int>(m_cachedSignals.size());
}

QList<SignalPostBody> SignalCache::snapshot() const
{
    QMutexLocker lock(&m_mutex);
    return m_cachedSignals;
}

void SignalCache::enforceLimitLocked()
{
    const qsizetype excess = m_cachedSignals.size() - m_maximumCount;
    if (excess <= 0)
        return;
    m_cachedSignals.remove(0, excess);
    if (!m_dropping) {
        m_dropping = true;
        m_logger.error(QStringLiteral("Signal cache is full (%1 signals); dropping the oldest "
                                      "signals until they can be sent")
                           .arg(m_maximumCount));
    }
}

void SignalCache::loadFromFile(const QString &path)
{
    m_logger.debug(QStringLiteral("Loading Telemetry cache from: ") + path);
    const auto lock = lockCacheFile(path);
    const std::optional<QList<SignalPostBody>> loaded = readCacheFile(path);
    QFile::remove(path);
    if (!loaded)
        return;
    putBack(*loaded);
    m_logger.debug(QStringLiteral("Loaded %1 signals").arg(loaded->size()));
}

bool SignalCache::saveToFile(const QString &path)
{
    const QList<SignalPostBody> ours = snapshot();
    if (ours.isEmpty())
        return true;
    QDir().mkpath(QFileInfo(path).absolutePath());
    const auto lock = lockCacheFile(path);

    // Another instance may have quit since this one started; its unsent signals stay.
    QList<SignalPostBody> toSave = readCacheFile(path).value_or(QList<SignalPostBody>()) + ours;
    if (toSave.size() > m_maximumCount)
        toSave.remove(0, toSave.size() - m_maximumCount);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(SignalPostBody::encodeList(toSave)) < 0 ||
        !file.commit()) {
        m_logger.error(QStringLiteral("Error saving Telemetry cache"));
        return false;
    }
    const qsizetype oursKept = std::min(ours.size(), toSave.size());
    m_logger.debug(
        QStringLiteral("Saved Telemetry cache %1 of %2 signals").arg(oursKept).arg(ours.size()));
    return true;
}
