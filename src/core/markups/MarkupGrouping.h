// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/Markup.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

// The markups of one file as one watcher saw them.
struct GroupedMarkup
{
    QUuid id;
    QString filePath;
    QString watcherName;
    MarkupList markups; // never empty, in the watcher's order
};

struct FileNode
{
    QUuid id;
    QString name; // the last path component
    QString path;
    QString watcherName;
    MarkupList markups;
};

// A watcher's root (`isWatcher`, named and identified by the watcher's name) or a folder that
// holds files with markups directly.
struct FolderNode
{
    QUuid id;
    QString name;
    QString path;
    QList<FolderNode> children; // sorted by name
    QList<FileNode> files;
    bool isWatcher = false;
};

// How the markups screen shapes the watchers' findings: groups per file, the search filter,
// the folder tree and the paths behind expand-all. Pure functions of their inputs.
namespace MarkupGrouping {

// One group per file of one watcher's findings, in the order of their first finding.
QList<GroupedMarkup> groupByFile(const MarkupList &markups, const QString &watcherName);
// By watcher name, then file path, in the order of Unicode scalar values of the composed form
// (case-sensitive: 'Zeta' before 'alpha').
void sort(QList<GroupedMarkup> &groups);
bool textLess(const QString &a, const QString &b);

// Groups whose path, or any of whose markups' text or type, contains `search` regardless of
// case; all of a kept group's markups stay. Empty `search` keeps everything.
QList<GroupedMarkup> filterGroups(const QList<GroupedMarkup> &groups, const QString &search);

// One root per watcher name, sorted by name. A folder node exists only for a directory that
// holds files directly; its nearest such ancestor, if any, is its parent.
QList<FolderNode> buildFolderTree(const QList<GroupedMarkup> &groups);
QSet<QString> expandablePaths(const QList<FolderNode> &roots);

// The number of markups in the node's own files and in its direct child folders' own files.
qint64 twoLevelCount(const FolderNode &node);

} // namespace MarkupGrouping
