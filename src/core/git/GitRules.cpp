// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/git/GitRules.h"

#include <QFileInfo>

GitRules::GitRules(UserDefaults &settings)
    : m_options(settings)
{}

bool GitRules::isInGitFolder(const QString &path)
{
    return path.contains(QStringLiteral("/.git/"));
}

bool GitRules::ignored(const QString &path)
{
    const GitWorkTrees::Found found = m_workTrees.find(path);
    return found.repository && found.repository->isIgnored(path);
}

bool GitRules::leavesOut(const QUuid &watcherId, const QString &path)
{
    return isInGitFolder(path) || (m_options.of(watcherId).respectGitignore && ignored(path));
}

QStringList GitRules::kept(const QUuid &watcherId, const QStringList &paths)
{
    const bool respectGitignore = m_options.of(watcherId).respectGitignore;
    QStringList kept;
    kept.reserve(paths.size());
    for (const QString &path : paths) {
        if (!isInGitFolder(path) && !(respectGitignore && ignored(path)))
            kept.append(path);
    }
    return kept;
}

std::optional<QByteArray> GitRules::baseline(const QUuid &watcherId, const QString &path)
{
    if (!m_options.of(watcherId).changedLinesOnly)
        return std::nullopt;
    const GitWorkTrees::Found found = m_workTrees.find(path);
    if (!found.repository) {
        if (!found.reason.isEmpty())
            m_workTrees.noteFallback(QFileInfo(path).absolutePath(), found.reason);
        return std::nullopt;
    }
    GitRepository::Baseline head = found.repository->headContent(path);
    switch (head.state) {
    case GitRepository::Baseline::State::committed:
        return std::move(head.content);
    case GitRepository::Baseline::State::untracked:
        return std::nullopt;
    case GitRepository::Baseline::State::unavailable:
        break;
    }
    m_workTrees.noteFallback(head.ofRepository ? found.repository->workTree() : path, head.reason);
    return std::nullopt;
}
