// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/CodeWatcherModel.h"
#include "core/model/SupportedFileExtension.h"

#include <QList>
#include <QString>

// Watchers over nested folders. A file in the trees of two watchers that both take it belongs
// to the one with the deepest folder, so the style it gets never depends on the order of the
// stored list; of two watchers of one folder, the one registered first keeps it.
class WatcherNesting
{
public:
    // A watcher within another's tree that takes some of the other's files.
    struct Inner
    {
        QString root;
        SupportedFileExtension codeKind = SupportedFileExtension::swift;
    };

    // The watchers of `all` (in the order they were registered) that own files of `watcher`'s
    // tree, whether they run or not: a switched-off inner watcher still keeps its files.
    static QList<Inner> innerOf(const CodeWatcherModel &watcher,
                                const QList<CodeWatcherModel> &all);
    static bool ownedByInner(const QList<Inner> &inner, const QString &path);

    // The watchers of `all` whose folder is `root`, lies inside it or holds it.
    static QList<CodeWatcherModel> nestedWith(const QString &root,
                                              const QList<CodeWatcherModel> &all);
    // What the add-watcher sheet says of them; empty when there are none.
    static QString warning(const QString &root, const QList<CodeWatcherModel> &all);

private:
    static bool holds(const QString &outer, const QString &inner);
};
