// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/git/GitWorkTrees.h"

#include "core/support/Log.h"

#include <QFile>
#include <QFileInfo>

#include <git2.h>

namespace {

QString lastError()
{
    const git_error *error = git_error_last();
    return error && error->message ? QString::fromUtf8(error->message)
                                   : QStringLiteral("unknown error");
}

} // namespace

GitWorkTrees::GitWorkTrees()
{
    // Once for the process and never undone: a shutdown while pool threads still hold
    // libgit2's per-thread state would leave that state behind when they end.
    static const int initialised = git_libgit2_init();
    Q_UNUSED(initialised);
}

GitWorkTrees::~GitWorkTrees() = default;

GitWorkTrees::Found GitWorkTrees::find(const QString &path)
{
    const QFileInfo info(path);
    const QByteArray start = QFile::encodeName(info.isDir() ? path : info.absolutePath());
    // Finding the git folder costs a few stats up the tree; opening it costs far more.
    git_buf gitDir = GIT_BUF_INIT;
    const int discovered = git_repository_discover(&gitDir, start.constData(), 0, nullptr);
    if (discovered == GIT_ENOTFOUND)
        return {};
    if (discovered != 0)
        return {nullptr, QStringLiteral("the repository cannot be found: ") + lastError()};
    const QString key = QFile::decodeName(QByteArray(gitDir.ptr, qsizetype(gitDir.size)));
    git_buf_dispose(&gitDir);

    const std::lock_guard lock(m_mutex);
    if (const auto known = m_opened.constFind(key); known != m_opened.cend())
        return {*known, {}};
    git_repository *repository = nullptr;
    if (git_repository_open(&repository, QFile::encodeName(key).constData()) != 0)
        return {nullptr, QStringLiteral("the repository cannot be opened: ") + lastError()};
    if (git_repository_is_bare(repository)) {
        git_repository_free(repository);
        return {nullptr, QStringLiteral("a bare repository has no work tree")};
    }
    auto opened = std::make_shared<GitRepository>(repository);
    m_opened.insert(key, opened);
    return {opened, {}};
}

void GitWorkTrees::noteFallback(const QString &where, const QString &reason)
{
    {
        const std::lock_guard lock(m_mutex);
        if (!m_noted.contains(where + u'\n' + reason))
            m_noted.insert(where + u'\n' + reason);
        else
            return;
    }
    Log::line(QStringLiteral("Formatting whole files in %1: %2").arg(where, reason));
}
