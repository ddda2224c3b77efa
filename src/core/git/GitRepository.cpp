// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/git/GitRepository.h"

#include <QFile>
#include <QFileInfo>

#include <git2.h>

namespace {

// Frees a libgit2 object when it goes out of scope.
template <class T, void (*Free)(T *)>
struct Owned
{
    T *p = nullptr;
    Owned() = default;
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;
    ~Owned()
    {
        if (p)
            Free(p);
    }
};

using Tree = Owned<git_tree, git_tree_free>;
using TreeEntry = Owned<git_tree_entry, git_tree_entry_free>;
using Blob = Owned<git_blob, git_blob_free>;
using Index = Owned<git_index, git_index_free>;
using Diff = Owned<git_diff, git_diff_free>;
using Object = Owned<git_object, git_object_free>;

QString lastError()
{
    const git_error *error = git_error_last();
    return error && error->message ? QString::fromUtf8(error->message)
                                   : QStringLiteral("unknown error");
}

// HEAD's tree; null with no commit yet (`unborn`) or when it cannot be read.
int headTree(git_repository *repository, Tree &tree, bool &unborn)
{
    unborn = git_repository_head_unborn(repository) == 1;
    if (unborn)
        return 0;
    Object object;
    const int error = git_revparse_single(&object.p, repository, "HEAD^{tree}");
    if (error == 0)
        tree.p = reinterpret_cast<git_tree *>(object.p), object.p = nullptr;
    return error;
}

QByteArray blobBytes(const git_blob *blob)
{
    return {static_cast<const char *>(git_blob_rawcontent(blob)),
            qsizetype(git_blob_rawsize(blob))};
}

// The blob as a checkout would write it at `path` (line ends, filters).
std::optional<QByteArray> checkedOut(git_blob *blob, const char *path)
{
    git_buf buffer = GIT_BUF_INIT;
    git_blob_filter_options options;
    git_blob_filter_options_init(&options, GIT_BLOB_FILTER_OPTIONS_VERSION);
    if (git_blob_filter(&buffer, blob, path, &options) != 0)
        return std::nullopt;
    QByteArray bytes(buffer.ptr, qsizetype(buffer.size));
    git_buf_dispose(&buffer);
    return bytes;
}

GitRepository::Baseline unavailable(const QString &reason, bool ofRepository = false)
{
    return {GitRepository::Baseline::State::unavailable, {}, reason, ofRepository};
}

// Whether the work tree is a submodule checked out inside another repository's work tree.
bool isSubmodule(const QString &workTree)
{
    const QByteArray parent = QFile::encodeName(QFileInfo(workTree.chopped(1)).path());
    git_repository *outer = nullptr;
    if (git_repository_open_ext(&outer, parent.constData(), 0, nullptr) != 0)
        return false;
    const char *outerDirectory = git_repository_workdir(outer);
    const QString outerTree = outerDirectory ? QFile::decodeName(outerDirectory) : QString();
    bool submodule = false;
    if (!outerTree.isEmpty() && workTree.startsWith(outerTree)) {
        git_submodule *module = nullptr;
        const QByteArray name = QFile::encodeName(workTree.mid(outerTree.size()).chopped(1));
        submodule = git_submodule_lookup(&module, outer, name.constData()) == 0;
        git_submodule_free(module);
    }
    git_repository_free(outer);
    return submodule;
}

} // namespace

GitRepository::GitRepository(git_repository *repository)
    : m_repository(repository)
    , m_workTree(QFile::decodeName(git_repository_workdir(repository)))
    , m_submodule(isSubmodule(m_workTree))
{}

GitRepository::~GitRepository()
{
    git_repository_free(m_repository);
}

QByteArray GitRepository::relative(const QString &path) const
{
    // libgit2 names the work tree by its resolved path; the user may reach it through a link.
    const QString inside = path.startsWith(m_workTree) ? path : QFileInfo(path).canonicalFilePath();
    if (!inside.startsWith(m_workTree) || inside.size() == m_workTree.size())
        return {};
    return QFile::encodeName(inside.mid(m_workTree.size()));
}

bool GitRepository::inIndex(const QByteArray &relativePath)
{
    Index index;
    if (git_repository_index(&index.p, m_repository) != 0)
        return false;
    // Picks up what `git add` changed since the last look.
    git_index_read(index.p, 0);
    return git_index_get_bypath(index.p, relativePath.constData(), 0) != nullptr;
}

GitRepository::Baseline GitRepository::headContent(const QString &path)
{
    const std::lock_guard lock(m_mutex);
    const QByteArray name = relative(path);
    if (name.isEmpty())
        return unavailable(QStringLiteral("outside the repository's work tree"));
    // Both check out a commit the user's branch did not make (a superproject's pick, a rebase
    // under way): which lines are the user's is not known.
    if (m_submodule)
        return unavailable(QStringLiteral("the folder is a submodule"), true);
    if (git_repository_head_detached(m_repository) == 1)
        return unavailable(QStringLiteral("HEAD is detached"), true);
    Tree tree;
    bool unborn = false;
    if (headTree(m_repository, tree, unborn) != 0)
        return unavailable(QStringLiteral("HEAD cannot be read: ") + lastError(), true);
    TreeEntry entry;
    if (!unborn && git_tree_entry_bypath(&entry.p, tree.p, name.constData()) == 0) {
        if (git_tree_entry_type(entry.p) != GIT_OBJECT_BLOB)
            return unavailable(QStringLiteral("HEAD holds no file there"));
        Blob blob;
        if (git_blob_lookup(&blob.p, m_repository, git_tree_entry_id(entry.p)) != 0)
            return unavailable(QStringLiteral("HEAD's version cannot be read: ") + lastError());
        const std::optional<QByteArray> content = checkedOut(blob.p, name.constData());
        return {Baseline::State::committed, content.value_or(blobBytes(blob.p)), {}, false};
    }
    if (!inIndex(name))
        return {Baseline::State::untracked, {}, {}, false};
    if (unborn)
        return unavailable(QStringLiteral("the repository has no commits yet"), true);
    return unavailable(QStringLiteral("not in the last commit (added or renamed since)"));
}

bool GitRepository::isIgnored(const QString &path)
{
    const std::lock_guard lock(m_mutex);
    const QByteArray name = relative(path);
    int ignored = 0;
    if (name.isEmpty() || git_ignore_path_is_ignored(&ignored, m_repository, name.constData()) != 0)
        return false;
    return ignored == 1 && !inIndex(name);
}

QStringList GitRepository::stagedFiles()
{
    const std::lock_guard lock(m_mutex);
    Tree tree;
    bool unborn = false;
    Index index;
    if (headTree(m_repository, tree, unborn) != 0 ||
        git_repository_index(&index.p, m_repository) != 0)
        return {};
    git_index_read(index.p, 0);
    Diff diff;
    git_diff_options options;
    git_diff_options_init(&options, GIT_DIFF_OPTIONS_VERSION);
    if (git_diff_tree_to_index(&diff.p, m_repository, tree.p, index.p, &options) != 0)
        return {};
    git_diff_find_similar(diff.p, nullptr);
    QStringList files;
    for (size_t i = 0; i < git_diff_num_deltas(diff.p); ++i) {
        const git_diff_delta *delta = git_diff_get_delta(diff.p, i);
        if (delta->status != GIT_DELTA_DELETED && delta->new_file.mode != GIT_FILEMODE_COMMIT)
            files.append(m_workTree + QFile::decodeName(delta->new_file.path));
    }
    return files;
}

std::optional<QByteArray> GitRepository::stagedContent(const QString &path)
{
    const std::lock_guard lock(m_mutex);
    const QByteArray name = relative(path);
    Index index;
    if (name.isEmpty() || git_repository_index(&index.p, m_repository) != 0)
        return std::nullopt;
    git_index_read(index.p, 0);
    const git_index_entry *entry = git_index_get_bypath(index.p, name.constData(), 0);
    Blob blob;
    if (!entry || git_blob_lookup(&blob.p, m_repository, &entry->id) != 0)
        return std::nullopt;
    return blobBytes(blob.p);
}
