// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ToolResolver.h"

#include <QFileInfo>
#include <QStandardPaths>

ToolResolver::ToolResolver()
    : ToolResolver(defaultDirectories(), true)
{}

ToolResolver::ToolResolver(QStringList directories, bool searchPath)
    : m_directories(std::move(directories))
    , m_searchPath(searchPath)
{}

QStringList ToolResolver::defaultDirectories()
{
    return {QStringLiteral("/opt/homebrew/bin"), QStringLiteral("/usr/local/bin"),
            QStringLiteral("/home/linuxbrew/.linuxbrew/bin")};
}

bool ToolResolver::qualifies(const QString &path)
{
    // QFileInfo follows symbolic links, so a dangling link does not exist and a link to an
    // executable qualifies like the executable itself.
    const QFileInfo info(path);
    return info.exists() && !info.isDir() && info.isExecutable();
}

std::optional<QString> ToolResolver::resolve(const QString &name) const
{
    for (const QString &directory : m_directories) {
        const QString candidate = directory + u'/' + name;
        if (qualifies(candidate))
            return candidate;
    }
    if (m_searchPath) {
        const QString found = QStandardPaths::findExecutable(name);
        if (!found.isEmpty() && qualifies(found))
            return found;
    }
    return std::nullopt;
}

QString ToolResolver::launchPath(const QString &name) const
{
    if (std::optional<QString> found = resolve(name))
        return *found;
    const QString directory = m_directories.value(0, defaultDirectories().constFirst());
    return directory + u'/' + name;
}
