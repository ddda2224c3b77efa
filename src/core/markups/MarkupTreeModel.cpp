// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/MarkupTreeModel.h"

MarkupTreeModel::MarkupTreeModel(QObject *parent)
    : QAbstractItemModel(parent)
{}

int MarkupTreeModel::add(Node node)
{
    const int id = int(m_nodes.size());
    std::vector<int> &siblings = node.parent < 0 ? m_topLevel : m_nodes[node.parent].children;
    node.row = int(siblings.size());
    siblings.push_back(id);
    m_nodes.push_back(std::move(node));
    return id;
}

void MarkupTreeModel::addMarkups(const MarkupList &markups, int parent)
{
    for (const Markup &markup : markups) {
        Node node{Kind::markup, parent};
        node.name = markup.text;
        node.path = markup.filePath;
        node.filePath = markup.filePath;
        node.markup = markup;
        add(std::move(node));
    }
}

void MarkupTreeModel::addFile(const FileNode &file, int parent)
{
    Node node{Kind::file, parent};
    node.name = file.name;
    node.path = file.path;
    node.filePath = file.path;
    node.count = file.markups.size();
    addMarkups(file.markups, add(std::move(node)));
}

void MarkupTreeModel::addFolder(const FolderNode &folder, int parent)
{
    Node node{folder.isWatcher ? Kind::watcher : Kind::folder, parent};
    node.name = folder.name;
    node.path = folder.path;
    node.count = MarkupGrouping::twoLevelCount(folder);
    const int id = add(std::move(node));
    for (const FolderNode &child : folder.children)
        addFolder(child, id);
    for (const FileNode &file : folder.files)
        addFile(file, id);
}

void MarkupTreeModel::showTree(const QList<FolderNode> &roots)
{
    beginResetModel();
    m_nodes.clear();
    m_topLevel.clear();
    for (const FolderNode &root : roots)
        addFolder(root, -1);
    endResetModel();
}

void MarkupTreeModel::showFlat(const QList<GroupedMarkup> &groups)
{
    beginResetModel();
    m_nodes.clear();
    m_topLevel.clear();
    for (const GroupedMarkup &group : groups) {
        Node header{Kind::fileHeader, -1};
        header.name = group.filePath.mid(group.filePath.lastIndexOf(u'/') + 1);
        header.path = group.filePath;
        header.filePath = group.filePath;
        header.count = group.markups.size();
        addMarkups(group.markups, add(std::move(header)));
    }
    endResetModel();
}

const MarkupTreeModel::Node *MarkupTreeModel::nodeOf(const QModelIndex &index) const
{
    return index.isValid() ? &m_nodes[std::size_t(index.internalId())] : nullptr;
}

const std::vector<int> &MarkupTreeModel::childrenOf(const QModelIndex &parent) const
{
    const Node *node = nodeOf(parent);
    return node ? node->children : m_topLevel;
}

QModelIndex MarkupTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    const std::vector<int> &children = childrenOf(parent);
    if (column != 0 || row < 0 || std::size_t(row) >= children.size())
        return {};
    return createIndex(row, 0, quintptr(children[std::size_t(row)]));
}

QModelIndex MarkupTreeModel::parent(const QModelIndex &child) const
{
    const Node *node = nodeOf(child);
    if (!node || node->parent < 0)
        return {};
    return createIndex(m_nodes[std::size_t(node->parent)].row, 0, quintptr(node->parent));
}

int MarkupTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    return int(childrenOf(parent).size());
}

int MarkupTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QString MarkupTreeModel::accessibleText(const Node &node) const
{
    switch (node.kind) {
    case Kind::markup: // all a sighted user reads off the row, the file's name included
        return QStringLiteral("%1: %2, line %3 of %4")
            .arg(node.markup.type, node.markup.text)
            .arg(node.markup.line)
            .arg(node.filePath.mid(node.filePath.lastIndexOf(u'/') + 1));
    case Kind::file:
    case Kind::fileHeader:
        return QStringLiteral("%1, %2 items, in %3").arg(node.name).arg(node.count).arg(node.path);
    case Kind::watcher:
    case Kind::folder:
        break;
    }
    return QStringLiteral("%1, %2 items").arg(node.name).arg(node.count);
}

QVariant MarkupTreeModel::data(const QModelIndex &index, int role) const
{
    const Node *node = nodeOf(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return node->name;
    case Qt::AccessibleTextRole:
        return accessibleText(*node);
    case kindRole:
        return int(node->kind);
    case pathRole:
        return node->path;
    case filePathRole:
        return node->filePath;
    case countRole:
        return node->count;
    case typeRole:
        return node->markup.type;
    case lineRole:
        return node->markup.line;
    case markupTextRole:
        return node->markup.text;
    default:
        return {};
    }
}

MarkupTreeModel::RowKey MarkupTreeModel::keyOf(const QModelIndex &index) const
{
    const Node *node = nodeOf(index);
    if (!node)
        return {};
    return {node->kind, node->path, node->markup.line, node->markup.text};
}

namespace {

enum Likeness
{
    unlike,
    sameFile,
    sameNote,
    same,
};

} // namespace

int MarkupTreeModel::likeness(const Node &node, const RowKey &key)
{
    if (node.path != key.path)
        return unlike;
    if (node.kind != key.kind) {
        const bool fileRow = node.kind == Kind::file || node.kind == Kind::fileHeader;
        return key.kind == Kind::markup && fileRow ? sameFile : unlike;
    }
    if (key.kind != Kind::markup)
        return same;
    if (node.markup.text != key.text)
        return unlike;
    return node.markup.line == key.line ? same : sameNote;
}

QModelIndex MarkupTreeModel::find(const RowKey &key) const
{
    int best = unlike;
    std::size_t found = 0;
    for (std::size_t id = 0; id < m_nodes.size() && best != same; ++id) {
        if (const int candidate = likeness(m_nodes[id], key); candidate > best) {
            best = candidate;
            found = id;
        }
    }
    return best == unlike ? QModelIndex() : createIndex(m_nodes[found].row, 0, quintptr(found));
}
