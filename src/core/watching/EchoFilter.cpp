// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/EchoFilter.h"

#include "core/formatting/SavedFile.h"
#include "core/formatting/ToolFixer.h"

#include <QCryptographicHash>

namespace {

// Of the file as it is now; empty when it cannot be read or is too large to be formatted.
QByteArray currentFingerprint(const QString &path)
{
    const Result<SavedFile> now = SavedFile::read(path, ToolFixer::sizeLimit);
    if (!now || !now.value().isWhole())
        return {};
    return QCryptographicHash::hash(now.value().bytes(), QCryptographicHash::Sha256);
}

} // namespace

quint64 EchoFilter::newDelivery()
{
    QMutexLocker lock(&m_mutex);
    return ++m_lastDelivery;
}

EchoFilter::Verdict EchoFilter::take(const QString &path, quint64 delivery)
{
    QMutexLocker lock(&m_mutex);
    const auto known = m_records.find(path);
    if (known != m_records.end()) {
        if (known->inFlight) {
            // Its run may have read the older version.
            known->reportedWhileInFlight = true;
            return Verdict::underWay;
        }
        if (!known->fingerprint.isEmpty() && currentFingerprint(path) == known->fingerprint)
            return Verdict::echo;
    }
    // Taken now, not when its batch starts, so an overlapping delivery waits for it too.
    PathRecord taken;
    taken.delivery = delivery;
    m_records.insert(path, taken);
    return Verdict::taken;
}

bool EchoFilter::settle(const QString &path, quint64 delivery, const QByteArray &fingerprint)
{
    QMutexLocker lock(&m_mutex);
    const auto record = m_records.find(path);
    if (record == m_records.end() || record->delivery != delivery)
        return false;
    record->inFlight = false;
    record->fingerprint = fingerprint;
    return std::exchange(record->reportedWhileInFlight, false);
}

void EchoFilter::release(const QStringList &paths, quint64 delivery)
{
    QMutexLocker lock(&m_mutex);
    for (const QString &path : paths) {
        const auto taken = m_records.constFind(path);
        if (taken != m_records.cend() && taken->delivery == delivery)
            m_records.erase(taken);
    }
}
