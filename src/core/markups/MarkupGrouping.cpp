// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/MarkupGrouping.h"

#include <QHash>

#include <algorithm>

namespace MarkupGrouping {

namespace {

// The path without its last component, as a file URL's path gives it: no trailing slash, and
// a single slash for something at the top level.
QString parentPath(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return {};
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString lastComponent(const QString &path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

bool containsIgnoringCase(const QString &text, const QString &search)
{
    return text.contains(search, Qt::CaseInsensitive);
}

bool matches(const GroupedMarkup &group, const QString &search)
{
    if (containsIgnoringCase(group.filePath, search))
        return true;
    return std::any_of(group.markups.cbegin(), group.markups.cend(), [&](const Markup &markup) {
        return containsIgnoringCase(markup.text, search) ||
               containsIgnoringCase(markup.type, search);
    });
}

bool nameLess(const FolderNode &a, const FolderNode &b)
{
    return textLess(a.name, b.name);
}

struct Directories
{
    QHash<QString, QList<FileNode>> files; // directory → its files, in order of arrival
    QList<QString> order;                  // the directories, in order of arrival
};

FolderNode folderNode(const QString &path, const Directories &directories,
                      const QHash<QString, QList<QString>> &childrenOf)
{
    FolderNode node{QUuid::createUuid(), lastComponent(path), path, {}, {}, false};
    node.files = directories.files.value(path);
    for (const QString &child : childrenOf.value(path))
        node.children << folderNode(child, directories, childrenOf);
    std::sort(node.children.begin(), node.children.end(), nameLess);
    if (node.name.isEmpty())
        node.name = path; // the root folder "/"
    return node;
}

FolderNode watcherRoot(const QString &watcherName, const QList<const GroupedMarkup *> &groups)
{
    FolderNode root{QUuid::createUuid(), watcherName, watcherName, {}, {}, true};
    Directories directories;
    for (const GroupedMarkup *group : groups) {
        FileNode file{QUuid::createUuid(), lastComponent(group->filePath), group->filePath,
                      group->watcherName, group->markups};
        const QString directory = parentPath(group->filePath);
        if (directory.isEmpty()) {
            root.files << file;
            continue;
        }
        if (!directories.files.contains(directory))
            directories.order << directory;
        directories.files[directory] << file;
    }
    // A directory hangs below its parent only when the parent holds files itself.
    QHash<QString, QList<QString>> childrenOf;
    QList<QString> topLevel;
    for (const QString &directory : std::as_const(directories.order)) {
        const QString parent = directory == QStringLiteral("/") ? QString() : parentPath(directory);
        if (!parent.isEmpty() && directories.files.contains(parent))
            childrenOf[parent] << directory;
        else
            topLevel << directory;
    }
    for (const QString &directory : std::as_const(topLevel))
        root.children << folderNode(directory, directories, childrenOf);
    std::sort(root.children.begin(), root.children.end(), nameLess);
    return root;
}

void collectPaths(const FolderNode &node, QSet<QString> &paths)
{
    paths.insert(node.path);
    for (const FileNode &file : node.files)
        paths.insert(file.path);
    for (const FolderNode &child : node.children)
        collectPaths(child, paths);
}

qint64 ownCount(const FolderNode &node)
{
    qint64 count = 0;
    for (const FileNode &file : node.files)
        count += file.markups.size();
    return count;
}

} // namespace

bool textLess(const QString &a, const QString &b)
{
    const QList<uint> left = a.normalized(QString::NormalizationForm_C).toUcs4();
    const QList<uint> right = b.normalized(QString::NormalizationForm_C).toUcs4();
    return std::lexicographical_compare(left.cbegin(), left.cend(), right.cbegin(), right.cend());
}

QList<GroupedMarkup> groupByFile(const MarkupList &markups, const QString &watcherName)
{
    QList<GroupedMarkup> groups;
    QHash<QString, qsizetype> indexOf;
    for (const Markup &markup : markups) {
        auto found = indexOf.constFind(markup.filePath);
        if (found == indexOf.cend()) {
            found = indexOf.insert(markup.filePath, groups.size());
            groups << GroupedMarkup{QUuid::createUuid(), markup.filePath, watcherName, {}};
        }
        groups[*found].markups << markup;
    }
    return groups;
}

void sort(QList<GroupedMarkup> &groups)
{
    // Keys made once: normalising at every comparison would dominate a large sort.
    struct Keyed
    {
        QList<uint> watcher;
        QList<uint> path;
        GroupedMarkup group;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(std::size_t(groups.size()));
    for (GroupedMarkup &group : groups)
        keyed.push_back({group.watcherName.normalized(QString::NormalizationForm_C).toUcs4(),
                         group.filePath.normalized(QString::NormalizationForm_C).toUcs4(),
                         std::move(group)});
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        return a.watcher != b.watcher ? a.watcher < b.watcher : a.path < b.path;
    });
    groups.clear();
    for (Keyed &entry : keyed)
        groups << std::move(entry.group);
}

QList<GroupedMarkup> filterGroups(const QList<GroupedMarkup> &groups, const QString &search)
{
    if (search.isEmpty())
        return groups;
    QList<GroupedMarkup> kept;
    for (const GroupedMarkup &group : groups) {
        if (matches(group, search))
            kept << group;
    }
    return kept;
}

QList<FolderNode> buildFolderTree(const QList<GroupedMarkup> &groups)
{
    QList<QString> names;
    QHash<QString, QList<const GroupedMarkup *>> byWatcher;
    for (const GroupedMarkup &group : groups) {
        if (!byWatcher.contains(group.watcherName))
            names << group.watcherName;
        byWatcher[group.watcherName] << &group;
    }
    QList<FolderNode> roots;
    for (const QString &name : std::as_const(names))
        roots << watcherRoot(name, byWatcher.value(name));
    std::sort(roots.begin(), roots.end(), nameLess);
    return roots;
}

QSet<QString> expandablePaths(const QList<FolderNode> &roots)
{
    QSet<QString> paths;
    for (const FolderNode &root : roots)
        collectPaths(root, paths);
    return paths;
}

qint64 twoLevelCount(const FolderNode &node)
{
    qint64 count = ownCount(node);
    for (const FolderNode &child : node.children)
        count += ownCount(child);
    return count;
}

} // namespace MarkupGrouping
