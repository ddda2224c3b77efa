// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/markups/MarkupsView.h"

#include "core/watching/MarkupsViewModel.h"
#include "gui/markups/MarkupRowDelegate.h"
#include "gui/support/Controls.h"
#include "gui/support/FileOpener.h"
#include "gui/support/SymbolIcons.h"
#include "gui/support/TextStyles.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

using Kind = MarkupTreeModel::Kind;

Kind kindOf(const QModelIndex &index)
{
    return Kind(index.data(MarkupTreeModel::kindRole).toInt());
}

QString pathOf(const QModelIndex &index)
{
    return index.data(MarkupTreeModel::pathRole).toString();
}

void copyToClipboard(const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

} // namespace

MarkupsView::MarkupsView(const MonitorRegistry &registry, const MarkupIndex &markups,
                         QWidget *parent)
    : QWidget(parent)
    , m_viewModel(new MarkupsViewModel(registry, markups, this))
    , m_model(new MarkupTreeModel(this))
    , m_delegate(new MarkupRowDelegate(this))
    , m_list(new QTreeView)
    , m_search(new QLineEdit)
    , m_totals(TextStyles::label(QString(), TextStyles::Style::caption))
    , m_noMatch(TextStyles::label(QString(), TextStyles::Style::title3))
    , m_toggle(Controls::borderlessButton(QString(), QStringLiteral("list.bullet")))
    , m_expandAll(Controls::borderlessButton(QString(),
                                             QStringLiteral("arrow.up.left.and.arrow.down.right"),
                                             QStringLiteral("Expand all folders")))
    , m_collapseAll(Controls::borderlessButton(QString(),
                                               QStringLiteral("arrow.down.right.and.arrow.up.left"),
                                               QStringLiteral("Collapse all folders")))
    , m_refresh(Controls::borderlessButton(QString(), QStringLiteral("arrow.clockwise"),
                                           QStringLiteral("Refresh TODOs")))
{
    m_list->setModel(m_model);
    m_list->setItemDelegate(m_delegate);
    m_list->setHeaderHidden(true);
    m_list->setAccessibleName(QStringLiteral("TODOs"));
    m_list->setExpandsOnDoubleClick(false);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setIndentation(16);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(makeSearchBar());
    layout->addWidget(m_list, 1);
    // The search is the user's text: never read as markup.
    m_noMatch->setTextFormat(Qt::PlainText);
    m_noMatch->setAlignment(Qt::AlignCenter);
    m_noMatch->setWordWrap(true);
    m_noMatch->setForegroundRole(QPalette::PlaceholderText);
    // The list's pane, saying why it is empty.
    m_noMatch->setFrameStyle(m_list->frameStyle());
    m_noMatch->setBackgroundRole(QPalette::Base);
    m_noMatch->setAutoFillBackground(true);
    m_noMatch->hide();
    layout->addWidget(m_noMatch, 1);
    layout->addWidget(makeBottomBar());

    connect(m_viewModel, &MarkupsViewModel::groupedMarkupsChanged, this,
            &MarkupsView::groupsChanged);
    connect(m_search, &QLineEdit::textChanged, this, &MarkupsView::rebuild);
    connect(m_list, &QTreeView::clicked, this, &MarkupsView::toggle);
    connect(m_list, &QTreeView::activated, this, [this](const QModelIndex &index) {
        if (kindOf(index) == Kind::markup)
            open(index);
    });
    connect(m_delegate, &MarkupRowDelegate::openRequested, this, &MarkupsView::open);
    connect(m_list, &QTreeView::customContextMenuRequested, this, &MarkupsView::showContextMenu);
    // The view's own arrows and keys keep the set in step with what is shown.
    connect(m_list, &QTreeView::expanded, this,
            [this](const QModelIndex &index) { m_expandedFolders.insert(pathOf(index)); });
    connect(m_list, &QTreeView::collapsed, this, [this](const QModelIndex &index) {
        if (m_showTreeView)
            m_expandedFolders.remove(pathOf(index));
    });
    rebuild();
}

MarkupsView::~MarkupsView() = default;

QWidget *MarkupsView::makeSearchBar()
{
    auto *bar = new QWidget;
    bar->setObjectName(QStringLiteral("SearchBar"));
    bar->setStyleSheet(QStringLiteral("QWidget#SearchBar { background: palette(base); "
                                      "border-radius: 8px; }"));
    m_search->setPlaceholderText(QStringLiteral("Search TODOs..."));
    m_search->setAccessibleName(QStringLiteral("Search TODOs"));
    m_search->setFrame(false);
    m_search->setClearButtonEnabled(true);
    auto *icon = new QLabel;
    icon->setPixmap(SymbolIcons::icon(QStringLiteral("magnifyingglass"),
                                      palette().color(QPalette::PlaceholderText))
                        .pixmap(QSize(16, 16)));
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(8, 8, 8, 8);
    row->addWidget(icon);
    row->addWidget(m_search, 1);
    return bar;
}

QWidget *MarkupsView::makeBottomBar()
{
    auto *bar = new QWidget;
    m_totals->setForegroundRole(QPalette::PlaceholderText);
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(8, 0, 8, 8);
    row->addWidget(m_totals);
    row->addStretch();
    for (QToolButton *button : {m_toggle, m_expandAll, m_collapseAll, m_refresh})
        row->addWidget(button);
    connect(m_toggle, &QToolButton::clicked, this, [this] {
        m_showTreeView = !m_showTreeView;
        rebuild();
    });
    connect(m_expandAll, &QToolButton::clicked, this, [this] {
        m_expandedFolders = MarkupGrouping::expandablePaths(MarkupGrouping::buildFolderTree(
            MarkupGrouping::filterGroups(m_viewModel->groupedMarkups(), m_search->text())));
        applyExpansion();
    });
    connect(m_collapseAll, &QToolButton::clicked, this, [this] {
        m_expandedFolders.clear();
        applyExpansion();
    });
    connect(m_refresh, &QToolButton::clicked, m_viewModel, &MarkupsViewModel::loadMarkups);
    return bar;
}

void MarkupsView::groupsChanged()
{
    // A hidden screen is brought up to date when it is shown, before it paints.
    if (isVisible()) {
        rebuild();
        return;
    }
    m_behind = true;
    updateBottomBar();
}

void MarkupsView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_behind)
        rebuild();
}

void MarkupsView::rebuild()
{
    const QList<GroupedMarkup> shown =
        MarkupGrouping::filterGroups(m_viewModel->groupedMarkups(), m_search->text());
    const Place before = place();
    if (m_showTreeView) {
        m_model->showTree(MarkupGrouping::buildFolderTree(shown));
        applyExpansion();
    } else {
        m_model->showFlat(shown);
        m_list->expandAll(); // each file is a section, always open
    }
    m_list->setRootIsDecorated(m_showTreeView);
    restore(before);
    m_behind = false;

    const bool noMatch = shown.isEmpty() && !m_search->text().isEmpty();
    m_noMatch->setText(noMatch
                           ? QStringLiteral("No TODOs match \u201c%1\u201d").arg(m_search->text())
                           : QString());
    m_noMatch->setAccessibleName(m_noMatch->text());
    m_noMatch->setVisible(noMatch);
    m_list->setVisible(!noMatch);
    updateBottomBar();
}

MarkupsView::Place MarkupsView::place() const
{
    Place place;
    if (const QModelIndex current = m_list->currentIndex(); current.isValid())
        place.current = m_model->keyOf(current);
    // At the very top, the list stays there and shows what comes in above.
    if (m_list->verticalScrollBar()->value() > 0) {
        if (const QModelIndex top = m_list->indexAt(QPoint(1, 1)); top.isValid())
            place.top = m_model->keyOf(top);
    }
    return place;
}

void MarkupsView::restore(const Place &place)
{
    if (place.current) {
        // Selecting would scroll to the row, and open its folders if the user closed them.
        const bool autoScroll = m_list->hasAutoScroll();
        m_list->setAutoScroll(false);
        m_list->setCurrentIndex(m_model->find(*place.current));
        m_list->setAutoScroll(autoScroll);
    }
    if (!place.top)
        return;
    const QModelIndex top = m_model->find(*place.top);
    // Scrolling to a row inside a closed folder would open the folder.
    for (QModelIndex above = top.parent(); above.isValid(); above = above.parent()) {
        if (!m_list->isExpanded(above))
            return;
    }
    if (top.isValid())
        m_list->scrollTo(top, QAbstractItemView::PositionAtTop);
}

void MarkupsView::updateBottomBar()
{
    // The totals count everything loaded, not what the search leaves.
    m_totals->setText(QStringLiteral("%1 TODOs in %2 files")
                          .arg(m_viewModel->totalMarkups())
                          .arg(m_viewModel->groupedMarkups().size()));
    m_totals->setAccessibleName(m_totals->text());
    const QString text = m_showTreeView ? QStringLiteral("Flat View") : QStringLiteral("Tree View");
    m_toggle->setText(text);
    m_toggle->setAccessibleName(text);
    m_toggle->setIcon(SymbolIcons::icon(m_showTreeView ? QStringLiteral("list.bullet")
                                                       : QStringLiteral("folder")));
    m_toggle->setToolTip(m_showTreeView ? QStringLiteral("Switch to flat list view")
                                        : QStringLiteral("Switch to folder tree view"));
    m_toggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_expandAll->setVisible(m_showTreeView);
    m_collapseAll->setVisible(m_showTreeView);
}

void MarkupsView::applyExpansion(const QModelIndex &parent)
{
    if (!m_showTreeView)
        return;
    for (int row = 0; row < m_model->rowCount(parent); ++row) {
        const QModelIndex child = m_model->index(row, 0, parent);
        if (kindOf(child) == Kind::markup)
            continue;
        const bool expanded = m_expandedFolders.contains(pathOf(child));
        if (m_list->isExpanded(child) != expanded) {
            const QSignalBlocker quiet(m_list); // the set decides here, not the view
            m_list->setExpanded(child, expanded);
        }
        applyExpansion(child);
    }
}

void MarkupsView::toggle(const QModelIndex &index)
{
    if (!m_showTreeView || kindOf(index) == Kind::markup)
        return;
    const QString path = pathOf(index);
    if (m_expandedFolders.remove(path)) {
        applyExpansion();
        return;
    }
    m_expandedFolders.insert(path);
    if (kindOf(index) == Kind::watcher) {
        for (int row = 0; row < m_model->rowCount(index); ++row) {
            const QModelIndex child = m_model->index(row, 0, index);
            if (kindOf(child) == Kind::folder)
                m_expandedFolders.insert(pathOf(child));
        }
    }
    applyExpansion();
}

void MarkupsView::open(const QModelIndex &index)
{
    const QString file = index.data(MarkupTreeModel::filePathRole).toString();
    if (file.isEmpty())
        return;
    FileOpener::current().open(file, index.data(MarkupTreeModel::lineRole).toLongLong());
}

void MarkupsView::copyText(const QModelIndex &index)
{
    copyToClipboard(index.data(MarkupTreeModel::markupTextRole).toString());
}

void MarkupsView::showContextMenu(const QPoint &at)
{
    const QModelIndex index = m_list->indexAt(at);
    if (!index.isValid() || kindOf(index) != Kind::markup)
        return;
    // The rows may be rebuilt while the menu is open: it acts on the note it was opened on.
    const QString file = index.data(MarkupTreeModel::filePathRole).toString();
    const qint64 line = index.data(MarkupTreeModel::lineRole).toLongLong();
    const QString text = index.data(MarkupTreeModel::markupTextRole).toString();
    QMenu menu(this);
    connect(menu.addAction(QStringLiteral("Open in Editor")), &QAction::triggered, this,
            [file, line] { FileOpener::current().open(file, line); });
    connect(menu.addAction(QStringLiteral("Copy Text")), &QAction::triggered, this,
            [text] { copyToClipboard(text); });
    menu.exec(m_list->viewport()->mapToGlobal(at));
}
