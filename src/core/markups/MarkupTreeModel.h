// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/markups/MarkupGrouping.h"

#include <QAbstractItemModel>

#include <vector>

// The markups screen's rows: the folder tree (watcher roots, folders, files, their markups) or
// the flat list (a header per file, its markups below). Rebuilt whole when the groups, the
// search or the layout change; a view keeps expansion by the rows' paths.
class MarkupTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum class Kind
    {
        watcher,
        folder,
        file,       // a file in the tree
        fileHeader, // a file in the flat list
        markup,
    };

    enum Role
    {
        kindRole = Qt::UserRole + 1,
        pathRole,     // what expansion is kept by; for a markup, its file
        filePathRole, // the file a row opens
        countRole,    // markups the row stands for (two levels for a folder)
        typeRole,     // a markup's "TODO" or "FIXME"
        lineRole,     // a markup's line
        markupTextRole,
    };

    // What a row stands for, to find it again once the rows are rebuilt.
    struct RowKey
    {
        Kind kind = Kind::folder;
        QString path;
        qint64 line = 0;
        QString text;
    };

    explicit MarkupTreeModel(QObject *parent = nullptr);

    void showTree(const QList<FolderNode> &roots);
    void showFlat(const QList<GroupedMarkup> &groups);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    RowKey keyOf(const QModelIndex &index) const;
    // The row of `key`; for a markup no longer there, the same note moved to another line, or
    // else its file's row; invalid when none is left.
    QModelIndex find(const RowKey &key) const;

private:
    struct Node
    {
        Node(Kind kind, int parent)
            : kind(kind)
            , parent(parent)
        {}

        Kind kind = Kind::folder;
        int parent = -1; // -1: top level
        int row = 0;
        std::vector<int> children;
        QString name;
        QString path;
        QString filePath;
        qint64 count = 0;
        Markup markup;
    };

    int add(Node node);
    void addFolder(const FolderNode &folder, int parent);
    void addFile(const FileNode &file, int parent);
    void addMarkups(const MarkupList &markups, int parent);
    const Node *nodeOf(const QModelIndex &index) const;
    const std::vector<int> &childrenOf(const QModelIndex &parent) const;
    QString accessibleText(const Node &node) const;
    static int likeness(const Node &node, const RowKey &key);

    std::vector<Node> m_nodes;
    std::vector<int> m_topLevel;
};
