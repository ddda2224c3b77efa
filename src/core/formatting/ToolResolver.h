// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Finds an installed formatting tool. The dependency check and the fixers ask the same
// resolver, so a tool the check reports as installed is the one the fixers launch.
// Reads only file metadata; a value type, safe to copy and to use from any thread.
class ToolResolver
{
public:
    // The package manager's usual prefixes, then the PATH.
    ToolResolver();
    ToolResolver(QStringList directories, bool searchPath);

    // "/opt/homebrew/bin", "/usr/local/bin", "/home/linuxbrew/.linuxbrew/bin".
    static QStringList defaultDirectories();

    // The first candidate that is an existing, executable non-directory.
    std::optional<QString> resolve(const QString &name) const;

    // What a fixer launches: the resolved path, or else the first directory's, so that the
    // launch fails and says why in the log.
    QString launchPath(const QString &name) const;

    static bool qualifies(const QString &path);

private:
    QStringList m_directories;
    bool m_searchPath = true;
};
