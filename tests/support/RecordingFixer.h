// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/IFixer.h"

#include <QMutex>
#include <QSemaphore>
#include <QStringList>

#include <atomic>
#include <functional>

using namespace Qt::StringLiterals;

// A fixer that formats nothing: it records the files it was given and can be held mid-fix.
class RecordingFixer : public IFixer
{
public:
    QString language() const override { return u"C++"_s; }
    FixResult fix(const QString &filePath) override;

    QStringList fixedFiles() const;
    int maxConcurrentFixes() const { return m_maxConcurrent; }

    // When set, each fix reads the file, then (once let go) writes `format` of what it read,
    // unless that is the same, and reports it as the version left.
    void setFormat(std::function<QByteArray(const QByteArray &)> format) { m_format = format; }

    // How each run comes out: a change unless told otherwise, as if each file needed a fix.
    void setOutcome(FixResult::Outcome outcome, const QString &reason = {});

    // While held, every fix waits until `release` lets it go on.
    void hold() { m_held = true; }
    void release();
    // Blocks until `count` fixes are waiting in a held fixer.
    bool waitForWaiting(int count) { return m_waiting.tryAcquire(count, 5000); }

private:
    mutable QMutex m_mutex;
    QStringList m_files;
    std::atomic<bool> m_held{false};
    FixResult::Outcome m_outcome = FixResult::Outcome::changed; // under the mutex
    QString m_reason;
    std::atomic<int> m_running{0};
    std::atomic<int> m_maxConcurrent{0};
    QSemaphore m_waiting;
    QSemaphore m_gate;
    std::function<QByteArray(const QByteArray &)> m_format;
};
