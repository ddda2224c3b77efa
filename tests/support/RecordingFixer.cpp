// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/RecordingFixer.h"

#include <QFile>
#include <QMutexLocker>

FixResult RecordingFixer::fix(const QString &filePath)
{
    const int running = ++m_running;
    int seen = m_maxConcurrent;
    while (running > seen && !m_maxConcurrent.compare_exchange_weak(seen, running)) {
    }
    FixResult result;
    {
        QMutexLocker lock(&m_mutex);
        m_files.append(filePath);
        result.outcome = m_outcome;
        result.reason = m_reason;
    }
    QFile file(filePath);
    const QByteArray read = m_format && file.open(QIODevice::ReadOnly) ? file.readAll() : "";
    file.close();
    if (m_held) {
        m_waiting.release();
        m_gate.acquire();
    }
    if (m_format) {
        result.content = m_format(read);
        if (*result.content != read && file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(*result.content);
            result.original = read;
        }
    }
    --m_running;
    return result;
}

void RecordingFixer::setOutcome(FixResult::Outcome outcome, const QString &reason)
{
    QMutexLocker lock(&m_mutex);
    m_outcome = outcome;
    m_reason = reason;
}

QStringList RecordingFixer::fixedFiles() const
{
    QMutexLocker lock(&m_mutex);
    return m_files;
}

void RecordingFixer::release()
{
    m_held = false;
    m_gate.release(1000);
}
