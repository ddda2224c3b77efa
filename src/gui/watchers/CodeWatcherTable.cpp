// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/watchers/CodeWatcherTable.h"

#include "core/formatting/ConfigManagerFactory.h"
#include "core/support/LocalPath.h"
#include "core/support/Log.h"
#include "core/watching/CodeWatcherTableViewModel.h"
#include "core/watching/MonitorRegistry.h"
#include "gui/support/Dialogs.h"
#include "gui/support/SymbolIcons.h"
#include "gui/watchers/ElidingHeader.h"
#include "gui/watchers/RunFixersDelegate.h"
#include "gui/watchers/StatusCellDelegate.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>
#include <iterator>

namespace {

using Model = CodeWatcherTableViewModel;

// Each column's width when there is room, and the least it keeps in a small window (its
// button, switch or a few letters of text; the name's beside its git badge). The folder takes
// what the others leave; when the window narrows it gives way first, then the others shrink
// alike down to their least.
struct ColumnWidth
{
    int preferred;
    int least;
};
constexpr ColumnWidth kWidths[] = {{130, 96}, {200, 116}, {120, 50}, {160, 98},
                                   {150, 58}, {100, 70},  {80, 48},  {60, 36}};

// The widths of the columns for a viewport `available` pixels wide.
QList<int> columnWidths(int available)
{
    int preferred = 0;
    int least = 0;
    for (int column = 0; column < int(std::size(kWidths)); ++column) {
        if (column == Model::urlColumn)
            continue;
        preferred += kWidths[column].preferred;
        least += kWidths[column].least;
    }
    const int forOthers = available - kWidths[Model::urlColumn].least;
    // 0 when the others keep no more than their least, 1 when they keep all they would like.
    const double share =
        preferred == least ? 1.0
                           : std::clamp(double(forOthers - least) / (preferred - least), 0.0, 1.0);
    QList<int> widths;
    int taken = 0;
    for (int column = 0; column < int(std::size(kWidths)); ++column) {
        const ColumnWidth width = kWidths[column];
        widths.append(width.least + int((width.preferred - width.least) * share));
        taken += column == Model::urlColumn ? 0 : widths.last();
    }
    widths[Model::urlColumn] = std::max(kWidths[Model::urlColumn].least, available - taken);
    return widths;
}

const CodeWatcherModel *watcherAt(const Model &model, const QModelIndex &index)
{
    return index.isValid() ? model.watcherAt(index.row()) : nullptr;
}

bool restored(const QModelIndex &index)
{
    return index.data(Model::unrestoredReasonRole).toString().isEmpty();
}

// A watcher that could not be restored reads as such: its text greyed, its reason in the tip.
class GreyedWhenUnrestored : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!restored(index)) {
            option->palette.setColor(QPalette::Text,
                                     option->palette.color(QPalette::PlaceholderText));
            option->font.setItalic(true);
        }
    }
};

// The configuration's name with a chevron after it: the cell opens a menu of the others.
class ConfigurationCell : public GreyedWhenUnrestored
{
public:
    using GreyedWhenUnrestored::GreyedWhenUnrestored;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        GreyedWhenUnrestored::initStyleOption(option, index);
        if (!restored(index))
            return;
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->icon = SymbolIcons::icon(QStringLiteral("chevron.down"), option->palette);
        option->decorationPosition = QStyleOptionViewItem::Right;
        option->decorationSize = QSize(12, 12);
    }
};

// The watcher's name, with a small badge of its git options at the cell's end.
class NameCell : public GreyedWhenUnrestored
{
public:
    using GreyedWhenUnrestored::GreyedWhenUnrestored;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const QString badge = index.data(Model::gitBadgeRole).toString();
        if (badge.isEmpty()) {
            GreyedWhenUnrestored::paint(painter, option, index);
            return;
        }
        QFont font = option.font;
        font.setPointSizeF(font.pointSizeF() * 0.8);
        const QFontMetrics metrics(font);
        const int width = metrics.horizontalAdvance(badge) + 8;
        const int height = metrics.height() + 2;
        QStyleOptionViewItem text = option;
        text.rect.setRight(option.rect.right() - width - 4);
        GreyedWhenUnrestored::paint(painter, text, index);
        const QRect pill(option.rect.right() - width - 2, option.rect.center().y() - height / 2,
                         width, height);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->setBrush(option.palette.color(QPalette::Button));
        painter->drawRoundedRect(QRectF(pill).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
        painter->setFont(font);
        painter->setPen(option.palette.color(QPalette::ButtonText));
        painter->drawText(pill, Qt::AlignCenter, badge);
        painter->restore();
    }
};

} // namespace

CodeWatcherTable::CodeWatcherTable(CodeWatcherTableViewModel &model, MonitorRegistry &registry,
                                   ConfigManagerFactory &configurations, QWidget *parent)
    : QTableView(parent)
    , m_model(model)
    , m_registry(registry)
    , m_configurations(configurations)
    , m_runFixers(new RunFixersDelegate(this))
    , m_language(new CellButtonDelegate(CellButtonDelegate::Kind::button, {}, {}, this))
    , m_switches(new CellButtonDelegate(CellButtonDelegate::Kind::checkBox, {}, restored, this))
    , m_remove(new CellButtonDelegate(CellButtonDelegate::Kind::button, QStringLiteral("trash"), {},
                                      this))
{
    setHorizontalHeader(new ElidingHeader(Qt::Horizontal, this));
    horizontalHeader()->setSectionsClickable(true);
    setModel(&model);
    setAccessibleName(QStringLiteral("Watchers"));
    setMinimumSize(400, 300);
    setSelectionMode(QAbstractItemView::NoSelection);
    // Tab and Shift+Tab leave the table, as from any other control; arrows move between cells.
    setTabKeyNavigation(false);
    // Only the name column is editable (the model says so).
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    setShowGrid(false);
    setAlternatingRowColors(true);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(34);
    setItemDelegate(new GreyedWhenUnrestored(this));
    setItemDelegateForColumn(Model::statusColumn, new StatusCellDelegate(this));
    setItemDelegateForColumn(Model::fixAllColumn, m_runFixers);
    setItemDelegateForColumn(Model::extensionColumn, m_language);
    setItemDelegateForColumn(Model::activatedColumn, m_switches);
    setItemDelegateForColumn(Model::removeColumn, m_remove);
    setItemDelegateForColumn(Model::configNameColumn, new ConfigurationCell(this));
    setItemDelegateForColumn(Model::nameColumn, new NameCell(this));
    // The row's menu: right click, the Menu key or Shift+F10.
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        const QModelIndex index = indexAt(at).isValid() ? indexAt(at) : currentIndex();
        if (QMenu *menu = rowMenu(index))
            menu->popup(viewport()->mapToGlobal(at));
    });

    QHeaderView *header = horizontalHeader();
    setWordWrap(false);
    setTextElideMode(Qt::ElideMiddle); // a long path keeps its start and its folder's name
    const QList<int> widths = columnWidths(1200);
    for (int column = 0; column < model.columnCount(); ++column)
        header->resizeSection(column, widths.value(column));

    connect(m_runFixers, &CellButtonDelegate::clicked, this, &CodeWatcherTable::runFixers);
    connect(m_language, &CellButtonDelegate::clicked, this,
            &CodeWatcherTable::logConfigurationFile);
    connect(m_switches, &CellButtonDelegate::clicked, this, &CodeWatcherTable::toggle);
    connect(m_remove, &CellButtonDelegate::clicked, this, &CodeWatcherTable::remove);
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        if (index.column() == Model::configNameColumn)
            openConfigurationMenu(index);
    });
}

QMenu *CodeWatcherTable::configurationMenu(const QModelIndex &index)
{
    const CodeWatcherModel *watcher = watcherAt(m_model, index);
    if (!watcher || !m_registry.entry(watcher->id))
        return nullptr;
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setAccessibleName(QStringLiteral("Configurations"));
    const QUuid watcherId = watcher->id;
    for (const ConfigurationItem &item : m_configurations.configs()) {
        if (item.language != watcher->codeKind)
            continue;
        QAction *choice = menu->addAction(item.name);
        choice->setCheckable(true);
        choice->setChecked(item.id == watcher->configurationId);
        connect(choice, &QAction::triggered, this, [this, watcherId, id = item.id] {
            if (const Result<void> changed = m_registry.changeConfiguration(watcherId, id);
                !changed)
                Dialogs::current().showFailure(this,
                                               QStringLiteral("Could not change the configuration"),
                                               changed.error().description);
        });
    }
    return menu;
}

QMenu *CodeWatcherTable::rowMenu(const QModelIndex &index)
{
    const CodeWatcherModel *watcher = watcherAt(m_model, index);
    if (!watcher || !m_registry.entry(watcher->id))
        return nullptr;
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setAccessibleName(watcher->name);
    const QUuid watcherId = watcher->id;
    const GitOptions options = m_registry.gitOptions(watcherId);
    const auto addSwitch = [&](const QString &text, bool on, auto change) {
        QAction *action = menu->addAction(text);
        action->setCheckable(true);
        action->setChecked(on);
        connect(action, &QAction::toggled, this, [this, watcherId, change](bool checked) {
            GitOptions next = m_registry.gitOptions(watcherId);
            change(next, checked);
            if (const Result<void> set = m_registry.setGitOptions(watcherId, next); !set)
                Dialogs::current().showFailure(this, QStringLiteral("Could not change the watcher"),
                                               set.error().description);
        });
    };
    addSwitch(QStringLiteral("Only Lines I Changed"), options.changedLinesOnly,
              [](GitOptions &next, bool on) { next.changedLinesOnly = on; });
    addSwitch(QStringLiteral("Skip Files Git Ignores"), options.respectGitignore,
              [](GitOptions &next, bool on) { next.respectGitignore = on; });
    return menu;
}

void CodeWatcherTable::openConfigurationMenu(const QModelIndex &index)
{
    if (QMenu *menu = configurationMenu(index))
        menu->popup(viewport()->mapToGlobal(visualRect(index).bottomLeft()));
}

void CodeWatcherTable::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    // Every column stays on screen down to the smallest window; only below the columns' least
    // widths does the table scroll sideways.
    const QList<int> widths = columnWidths(viewport()->width());
    for (int column = 0; column < horizontalHeader()->count(); ++column)
        horizontalHeader()->resizeSection(column, widths.value(column));
}

void CodeWatcherTable::keyPressEvent(QKeyEvent *event)
{
    const bool pressKey = event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
                          event->key() == Qt::Key_Enter || event->key() == Qt::Key_Select;
    auto *control = qobject_cast<CellButtonDelegate *>(itemDelegateForIndex(currentIndex()));
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (pressKey && plain && control) {
        control->press(currentIndex());
        event->accept();
        return;
    }
    if (pressKey && plain && currentIndex().column() == Model::configNameColumn) {
        openConfigurationMenu(currentIndex());
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void CodeWatcherTable::paintEvent(QPaintEvent *event)
{
    QTableView::paintEvent(event);
    paintFocusMark();
}

// Styles mark a focused button only after a key press, and a text cell hardly at all: the
// keyboard's user needs one clear mark on whichever cell the arrows reached.
void CodeWatcherTable::paintFocusMark()
{
    if (!hasFocus() || !currentIndex().isValid())
        return;
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(visualRect(currentIndex())).adjusted(1, 1, -1, -1), 3, 3);
}

void CodeWatcherTable::runFixers(const QModelIndex &index)
{
    // The button is offered only while the watcher runs; a switch made meanwhile shows in the
    // row at once, so a refusal needs no word of its own.
    if (const CodeWatcherModel *watcher = watcherAt(m_model, index))
        (void)m_registry.runFixers(watcher->id);
}

void CodeWatcherTable::logConfigurationFile(const QModelIndex &index)
{
    if (const CodeWatcherModel *watcher = watcherAt(m_model, index))
        Log::line(watcher->configFileUrl ? watcher->configFileUrl->toString() : QString());
}

void CodeWatcherTable::toggle(const QModelIndex &index)
{
    // The row changes when the registry says so, not before.
    const CodeWatcherModel *watcher = watcherAt(m_model, index);
    if (!watcher)
        return;
    const CodeWatcherModel copy = *watcher;
    const Result<void> switched =
        copy.isActivated ? m_registry.stopWatcher(copy) : m_registry.startWatcher(copy);
    // A folder that went away since: the switch stays off, and the user is told why.
    if (!switched)
        Dialogs::current().showFailure(
            window(), QStringLiteral("Could not switch the watcher"),
            QStringLiteral("\"%1\" could not be %2: %3")
                .arg(copy.name,
                     copy.isActivated ? QStringLiteral("stopped") : QStringLiteral("started"),
                     switched.error().description));
}

void CodeWatcherTable::remove(const QModelIndex &index)
{
    const CodeWatcherModel *watcher = watcherAt(m_model, index);
    if (!watcher)
        return;
    // There is no way back: it asks first, naming what goes, and keeps it unless told.
    const QUuid id = watcher->id;
    const bool unrestored = m_model.isUnrestored(index.row());
    Dialogs::current().confirm(
        window(), QStringLiteral("Remove “%1”?").arg(watcher->name),
        QStringLiteral("Sprucer stops watching %1. The folder and its files stay as they are.")
            .arg(LocalPath::fromUrl(watcher->url)),
        QStringLiteral("Remove"), [registry = &m_registry, id, unrestored](bool confirmed) {
            if (!confirmed)
                return;
            // Gone meanwhile (removed from another window): nothing is left to remove.
            (void)(unrestored ? registry->forgetWatcher(id) : registry->removeWatcher(id));
        });
}
