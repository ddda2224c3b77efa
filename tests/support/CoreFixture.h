// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/ConfigManagerFactory.h"
#include "core/services/CoreServices.h"
#include "support/RecordingFixer.h"
#include "support/TestHome.h"

#include <QHash>
#include <QMap>
#include <QMutex>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <memory>

// The core wired as the program wires it, over temporary project folders: real inotify, short
// timings, fixers that only record, and the usage signals kept for the test to read.
class CoreFixture
{
public:
    explicit CoreFixture(std::chrono::milliseconds echoWindow = std::chrono::milliseconds(300));

    // A project folder with the given files (relative path → content).
    QString makeProject(const QString &name, const QMap<QString, QString> &files = {});
    // A watcher of the folder, with a stored configuration of its language.
    CodeWatcherModel
    makeWatcher(const QString &projectPath, SupportedFileExtension language, bool activated = false,
                const QString &configuration = QStringLiteral("BasedOnStyle: LLVM\n"));

    // Fixers made by `maker` instead of recording ones, for cores made from now on.
    void useFixers(MonitorRegistryParts::FixerMaker maker) { m_makeFixer = std::move(maker); }

    // How watchers' health is judged, for cores made from now on (by default: by the
    // installed formatters themselves).
    void useHealth(WatcherHealth::Options options) { m_health = std::move(options); }

    // Made on first use, so a test can store watchers first.
    CoreServices &core();
    // The core's store once it is made, so its parts hear of each change; until then one that
    // writes to the same defaults.
    ConfigManagerFactory &configurations() { return m_core ? m_core->configurations() : m_configs; }
    MonitorRegistry &registry() { return core().registry(); }
    // A new core over the same home, as after a relaunch.
    void restart();

    std::shared_ptr<RecordingFixer> fixerFor(const QUuid &watcherId) const;
    // Names of the usage signals sent so far; "Name:key=value" for those with one parameter.
    QStringList sentSignals() const;
    void clearSentSignals();

private:
    std::chrono::milliseconds m_echoWindow;
    QTemporaryDir m_projects;
    ConfigManagerFactory m_configs{TestHome::settings()};
    QHash<QUuid, std::shared_ptr<RecordingFixer>> m_fixers;
    MonitorRegistryParts::FixerMaker m_makeFixer;
    WatcherHealth::Options m_health;
    mutable QMutex m_signalsMutex;
    QStringList m_signals;
    std::unique_ptr<CoreServices> m_core;
};
