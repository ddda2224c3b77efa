// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/ConfigManagerFactory.h"
#include "core/formatting/IFixer.h"
#include "core/telemetry/UsageSignal.h"
#include "core/watching/CodeWatcherModel.h"
#include "core/watching/MonitorRegistry.h"

#include <QMutex>
#include <QSemaphore>
#include <QTemporaryDir>

#include <atomic>
#include <memory>

// A fixer that formats nothing: it records the files it was given and can be held mid-fix.
class RecordingFixer : public IFixer
{
public:
    QString language() const override { return QStringLiteral("C++"); }
    void fix(const QUrl &file) override;

    QList<QUrl> fixedFiles() const;
    int maxConcurrentFixes() const { return m_maxConcurrent; }

    // While held, every fix waits until `release` lets it go on.
    void hold() { m_held = true; }
    void release();
    // Blocks until `count` fixes are waiting in a held fixer.
    bool waitForWaiting(int count, int timeoutMs = 5000);

private:
    mutable QMutex m_mutex;
    QList<QUrl> m_files;
    std::atomic<bool> m_held{false};
    std::atomic<int> m_running{0};
    std::atomic<int> m_maxConcurrent{0};
    QSemaphore m_waiting;
    QSemaphore m_gate;
};

// Records every usage signal sent while it lives.
class SignalRecorder
{
public:
    SignalRecorder();
    ~SignalRecorder();
    QList<UsageSignal> received() const;
    QStringList names() const;
    void clear();

private:
    mutable QMutex m_mutex;
    QList<UsageSignal> m_signals;
};

// A registry over temporary project folders, with fast timings and recording fixers.
class RegistryFixture
{
public:
    explicit RegistryFixture(MonitorRegistry::Timings timings = fastTimings());

    static MonitorRegistry::Timings fastTimings();

    // A project folder with the given files (relative path → content).
    QString makeProject(const QString &name, const QMap<QString, QString> &files = {});
    // A stored configuration of the language; its id goes into new watchers.
    QUuid makeConfiguration(SupportedFileExtension language);
    CodeWatcherModel makeWatcher(const QString &projectPath, SupportedFileExtension language,
                                 bool activated = false);

    MonitorRegistry &registry();
    // The registry made on first use, so tests can store watchers first.
    void recreateRegistry();
    std::shared_ptr<RecordingFixer> fixerFor(const QUuid &watcherId) const;

private:
    MonitorRegistry::Timings m_timings;
    QTemporaryDir m_projects;
    ConfigManagerFactory m_configs;
    QHash<QUuid, std::shared_ptr<RecordingFixer>> m_fixers;
    std::unique_ptr<MonitorRegistry> m_registry;
};
