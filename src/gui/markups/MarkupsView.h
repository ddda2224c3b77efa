// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/markups/MarkupTreeModel.h"

#include <QModelIndex>
#include <QSet>
#include <QWidget>

#include <optional>

class MarkupIndex;
class MarkupRowDelegate;
class MarkupsViewModel;
class MonitorRegistry;
class QLabel;
class QLineEdit;
class QToolButton;
class QTreeView;

// The "TODO" screen: every TODO and FIXME of the watched trees, as a folder tree per watcher
// or a flat list of files, with search, expand and collapse, refresh, and the file opened at
// the markup's line. Follows the findings as they change, keeping the selected row and the row
// at the top where they are still listed; while hidden it only notes that it is behind.
class MarkupsView : public QWidget
{
    Q_OBJECT

public:
    MarkupsView(const MonitorRegistry &registry, const MarkupIndex &markups,
                QWidget *parent = nullptr);
    ~MarkupsView() override;

    MarkupsViewModel &viewModel() const { return *m_viewModel; }
    MarkupTreeModel &model() const { return *m_model; }
    QTreeView *list() const { return m_list; }
    QLineEdit *searchField() const { return m_search; }
    QLabel *totals() const { return m_totals; }
    // Shown instead of the list when the search leaves nothing.
    QLabel *noMatch() const { return m_noMatch; }
    QToolButton *layoutToggle() const { return m_toggle; }
    QToolButton *expandAllButton() const { return m_expandAll; }
    QToolButton *collapseAllButton() const { return m_collapseAll; }
    QToolButton *refreshButton() const { return m_refresh; }
    bool showsTree() const { return m_showTreeView; }
    const QSet<QString> &expandedFolders() const { return m_expandedFolders; }

    // As a press on the row: a node opens or closes; a watcher opens with its top folders.
    void toggle(const QModelIndex &index);
    void open(const QModelIndex &index);
    void copyText(const QModelIndex &index);

protected:
    void showEvent(QShowEvent *event) override;

private:
    // The selected row and the row at the top, to find again in the rebuilt rows.
    struct Place
    {
        std::optional<MarkupTreeModel::RowKey> current;
        std::optional<MarkupTreeModel::RowKey> top;
    };

    QWidget *makeSearchBar();
    void groupsChanged();
    Place place() const;
    void restore(const Place &place);
    QWidget *makeBottomBar();
    void rebuild();
    void applyExpansion(const QModelIndex &parent = {});
    void showContextMenu(const QPoint &at);
    void updateBottomBar();

    MarkupsViewModel *m_viewModel;
    MarkupTreeModel *m_model;
    MarkupRowDelegate *m_delegate;
    QTreeView *m_list;
    QLineEdit *m_search;
    QLabel *m_totals;
    QLabel *m_noMatch;
    QToolButton *m_toggle;
    QToolButton *m_expandAll;
    QToolButton *m_collapseAll;
    QToolButton *m_refresh;
    QSet<QString> m_expandedFolders;
    bool m_showTreeView = true;
    bool m_behind = false; // the rows are older than the groups
};
