// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FormattingHome.h"
#include "core/support/UserDefaults.h"
#include "core/watching/WatcherListStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStringList>
#include <QUrl>

// Running Sprucer itself inside a FormattingHome: the settings file it reads there, and the
// environment that keeps everything it writes (settings, styles, log, lock) in that home.
namespace AgentHome {

inline QString settingsFile(const FormattingHome &home)
{
    return home.path() + QStringLiteral("/config/Velmora/Sprucer.conf");
}

// Stores `folders` as C++ watchers with the home's style, together with whatever this process
// has set in the home's settings, where a Sprucer started with `environment(home)` reads them.
inline void storeWatchers(const FormattingHome &home, const QStringList &folders)
{
    QList<CodeWatcherModel> watchers;
    for (const QString &folder : folders)
        watchers.append(CodeWatcherModel::make(QFileInfo(folder).fileName(),
                                               QUrl::fromLocalFile(folder + u'/'),
                                               SupportedFileExtension::cpp, home.configurationId));
    home.settings().setValue(WatcherListStore::userDefaultsKeyForWatchers,
                             WatcherListStore::encode(watchers));
    home.settings().flush();
    QDir().mkpath(QFileInfo(settingsFile(home)).path());
    // QFile::copy leaves an existing file alone: the old watchers would run instead.
    QFile::remove(settingsFile(home));
    QFile::copy(home.settings().fileName(), settingsFile(home));
}

inline QProcessEnvironment environment(const FormattingHome &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + u"/config");
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + u"/data");
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.path() + u"/cache");
    environment.insert(QStringLiteral("XDG_STATE_HOME"), home.path() + u"/state");
    // Its own one-instance lock, not that of a Sprucer the user runs.
    const QString runtime = home.path() + u"/runtime";
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return environment;
}

} // namespace AgentHome
