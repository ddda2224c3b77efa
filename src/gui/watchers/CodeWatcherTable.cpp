// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/watchers/CodeWatcherTable.h"

#include "core/support/LocalPath.h"
#include "core/support/Log.h"
#include "core/watching/CodeWatcherTableViewModel.h"
#include "core/watching/MonitorRegistry.h"
#include "gui/support/Dialogs.h"
#include "gui/watchers/RunFixersDelegate.h"
#include "gui/watchers/StatusCellDelegate.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QStyledItemDelegate>

namespace {

using Model = CodeWatcherTableViewModel;

constexpr int kMinimumUrlWidth = 120;

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

} // namespace

CodeWatcherTable::CodeWatcherTable(CodeWatcherTableViewModel &model, MonitorRegistry &registry,
                                   QWidget *parent)
    : QTableView(parent)
    , m_model(model)
    , m_registry(registry)
    , m_runFixers(new RunFixersDelegate(this))
    , m_language(new CellButtonDelegate(CellButtonDelegate::Kind::button, {}, {}, this))
    , m_switches(new CellButtonDelegate(CellButtonDelegate::Kind::checkBox, {}, restored, this))
    , m_remove(new CellButtonDelegate(CellButtonDelegate::Kind::button, QStringLiteral("trash"), {},
                                      this))
{
    setModel(&model);
    setAccessibleName(QStringLiteral("Watchers"));
    setMinimumSize(400, 300);
    setSelectionMode(QAbstractItemView::NoSelection);
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

    QHeaderView *header = horizontalHeader();
    setWordWrap(false);
    setTextElideMode(Qt::ElideMiddle); // a long path keeps its start and its folder's name
    const int widths[] = {100, 200, kMinimumUrlWidth, 160, 150, 100, 80, 60};
    for (int column = 0; column < model.columnCount(); ++column)
        header->resizeSection(column, widths[column]);

    connect(m_runFixers, &CellButtonDelegate::clicked, this, &CodeWatcherTable::runFixers);
    connect(m_language, &CellButtonDelegate::clicked, this,
            &CodeWatcherTable::logConfigurationFile);
    connect(m_switches, &CellButtonDelegate::clicked, this, &CodeWatcherTable::toggle);
    connect(m_remove, &CellButtonDelegate::clicked, this, &CodeWatcherTable::remove);
}

void CodeWatcherTable::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    // The folder takes the room the other columns leave, but never less than it needs to be
    // told apart; below that the table scrolls sideways.
    QHeaderView *header = horizontalHeader();
    int others = 0;
    for (int column = 0; column < header->count(); ++column)
        others += column == Model::urlColumn ? 0 : header->sectionSize(column);
    header->resizeSection(Model::urlColumn,
                          std::max(kMinimumUrlWidth, viewport()->width() - others));
}

void CodeWatcherTable::keyPressEvent(QKeyEvent *event)
{
    const bool pressKey = event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
                          event->key() == Qt::Key_Enter || event->key() == Qt::Key_Select;
    auto *control = qobject_cast<CellButtonDelegate *>(itemDelegateForIndex(currentIndex()));
    if (pressKey && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && control) {
        control->press(currentIndex());
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
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
