// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/WatcherNesting.h"

#include "core/support/LocalPath.h"

#include <algorithm>

namespace {

bool shareFiles(SupportedFileExtension a, SupportedFileExtension b)
{
    const QStringList &theirs = SupportedFileExtensions::fileExtensions(b);
    const QStringList &ours = SupportedFileExtensions::fileExtensions(a);
    return std::any_of(ours.cbegin(), ours.cend(),
                       [&](const QString &extension) { return theirs.contains(extension); });
}

QString quotedNames(const QList<CodeWatcherModel> &watchers)
{
    QStringList names;
    for (const CodeWatcherModel &watcher : watchers)
        names.append(QStringLiteral("“%1”").arg(watcher.name));
    return names.join(QStringLiteral(", "));
}

} // namespace

bool WatcherNesting::holds(const QString &outer, const QString &inner)
{
    return inner.startsWith(outer) &&
           (inner.size() == outer.size() || outer.endsWith(u'/') || inner.at(outer.size()) == u'/');
}

QList<WatcherNesting::Inner> WatcherNesting::innerOf(const CodeWatcherModel &watcher,
                                                     const QList<CodeWatcherModel> &all)
{
    const QString root = LocalPath::fromUrl(watcher.url);
    QList<Inner> inner;
    bool registeredBefore = true;
    for (const CodeWatcherModel &other : all) {
        if (other.id == watcher.id) {
            registeredBefore = false;
            continue;
        }
        const QString otherRoot = LocalPath::fromUrl(other.url);
        const bool deeper = otherRoot != root && holds(root, otherRoot);
        const bool sameAndFirst = otherRoot == root && registeredBefore;
        if ((deeper || sameAndFirst) && shareFiles(watcher.codeKind, other.codeKind))
            inner.append({otherRoot, other.codeKind});
    }
    return inner;
}

bool WatcherNesting::ownedByInner(const QList<Inner> &inner, const QString &path)
{
    return std::any_of(inner.cbegin(), inner.cend(), [&](const Inner &owner) {
        return holds(owner.root, path) && SupportedFileExtensions::matches(owner.codeKind, path);
    });
}

QList<CodeWatcherModel> WatcherNesting::nestedWith(const QString &root,
                                                   const QList<CodeWatcherModel> &all)
{
    const QString normal = LocalPath::normalized(root);
    QList<CodeWatcherModel> nested;
    for (const CodeWatcherModel &watcher : all) {
        const QString theirs = LocalPath::fromUrl(watcher.url);
        if (holds(theirs, normal) || holds(normal, theirs))
            nested.append(watcher);
    }
    return nested;
}

QString WatcherNesting::warning(const QString &root, const QList<CodeWatcherModel> &all)
{
    const QString normal = LocalPath::normalized(root);
    QList<CodeWatcherModel> around, same, inside;
    for (const CodeWatcherModel &watcher : nestedWith(normal, all)) {
        const QString theirs = LocalPath::fromUrl(watcher.url);
        (theirs == normal ? same : holds(theirs, normal) ? around : inside).append(watcher);
    }
    QStringList lines;
    if (!around.isEmpty())
        lines.append(QStringLiteral("This folder is inside the watcher %1: the files both take "
                                    "will be formatted by the new watcher.")
                         .arg(quotedNames(around)));
    if (!same.isEmpty())
        lines.append(QStringLiteral("The watcher %1 watches this folder already and keeps the "
                                    "files both take.")
                         .arg(quotedNames(same)));
    if (!inside.isEmpty())
        lines.append(QStringLiteral("This folder holds the watcher %1, which keeps the files "
                                    "both take in its folder.")
                         .arg(quotedNames(inside)));
    return lines.join(u' ');
}
