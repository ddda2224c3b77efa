// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/history/HistoryView.h"

#include "core/history/FixHistoryModel.h"
#include "core/history/FixJournal.h"
#include "core/services/FixUndo.h"
#include "core/support/SerialQueue.h"
#include "gui/editor/CodeEditor.h"
#include "gui/support/Dialogs.h"
#include "gui/support/TextStyles.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace {

// Headers in bold; an undone fix dimmed.
class HistoryRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const auto kind = FixHistoryModel::RowKind(index.data(FixHistoryModel::KindRole).toInt());
        option->font.setBold(kind != FixHistoryModel::RowKind::fix);
        if (index.data(FixHistoryModel::UndoneRole).toBool())
            option->palette.setColor(QPalette::Text,
                                     option->palette.color(QPalette::PlaceholderText));
    }
};

} // namespace

HistoryView::HistoryView(FixJournal &journal, FixUndo &undo, QWidget *parent)
    : QWidget(parent)
    , m_journal(journal)
    , m_fixUndo(undo)
    , m_model(new FixHistoryModel(journal, {}, this))
    , m_search(new QLineEdit)
    , m_list(new QListView)
    , m_diff(new CodeEditor)
    , m_undo(new QPushButton(QStringLiteral("Undo")))
    , m_status(new QLabel)
{
    QLabel *title =
        TextStyles::label(QStringLiteral("History"), TextStyles::Style::title2, QFont::Bold);
    m_search->setPlaceholderText(QStringLiteral("Search by path"));
    m_search->setAccessibleName(QStringLiteral("Search History"));
    m_search->setClearButtonEnabled(true);
    connect(m_search, &QLineEdit::textChanged, m_model, &FixHistoryModel::setFilter);
    makeList();

    auto *splitter = new QSplitter;
    splitter->addWidget(m_list);
    splitter->addWidget(makeDetail());
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({360, 640});
    auto *header = new QHBoxLayout;
    header->addWidget(title);
    header->addStretch();
    header->addWidget(m_search);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(splitter, 1);
    showSelected();
}

HistoryView::~HistoryView()
{
    m_undoQueue.reset();
}

// A command run beside this process (`sprucer format`) adds fixes this one hears nothing of.
void HistoryView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_model->reload();
}

void HistoryView::makeList()
{
    m_list->setModel(m_model);
    m_list->setItemDelegate(new HistoryRowDelegate(m_list));
    m_list->setAccessibleName(QStringLiteral("Fixes"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setUniformItemSizes(true); // a thousand rows lay out at once
    m_list->setSpacing(2);
    // Both: a click makes the row current before it selects it, the keys select it first.
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &HistoryView::showSelected);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &HistoryView::showSelected);
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, &HistoryView::keepSelection);
    connect(m_model, &QAbstractItemModel::modelReset, this, &HistoryView::restoreSelection);
}

QWidget *HistoryView::makeDetail()
{
    m_diff->setReadOnly(true);
    m_diff->setLanguage(QStringLiteral("diff"));
    m_diff->setAccessibleName(QStringLiteral("Diff"));
    m_undo->setAccessibleName(m_undo->text());
    m_status->setAccessibleName(QStringLiteral("Undo result"));
    m_status->setWordWrap(true);
    connect(m_undo, &QPushButton::clicked, this, &HistoryView::undoSelected);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(m_undo);
    auto *detail = new QWidget;
    auto *layout = new QVBoxLayout(detail);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_diff, 1);
    layout->addLayout(buttons);
    return detail;
}

int HistoryView::selectedRow() const
{
    const QModelIndex current = m_list->currentIndex();
    return current.isValid() && m_list->selectionModel()->isSelected(current) ? current.row() : -1;
}

void HistoryView::showSelected()
{
    const int row = selectedRow();
    const FixRecord *fix = m_model->fixAt(row);
    const bool run = row >= 0 && m_model->kindAt(row) == FixHistoryModel::RowKind::run;
    m_undo->setText(run ? QStringLiteral("Undo Run") : QStringLiteral("Undo"));
    m_undo->setAccessibleName(m_undo->text());
    m_undo->setEnabled(!m_undoing && (run || (fix && !fix->undone())));
    QString diff;
    if (fix) {
        const std::optional<QByteArray> bytes = m_journal.diff(fix->id);
        diff = bytes ? QString::fromUtf8(*bytes)
                     : QStringLiteral("The diff of this fix cannot be read from the history.");
    }
    m_diff->setText(diff);
}

void HistoryView::undoSelected()
{
    const int row = selectedRow();
    if (row < 0 || m_undoing)
        return;
    if (m_model->kindAt(row) == FixHistoryModel::RowKind::run) {
        undoRun(m_model->runAt(row));
        return;
    }
    const FixRecord *fix = m_model->fixAt(row);
    if (!fix)
        return;
    undoAside(QStringLiteral("Undoing…"), [this, id = fix->id] {
        const FixUndo::Outcome outcome = m_fixUndo.undo(id);
        return std::function<void()>([this, outcome] { showUndone(outcome); });
    });
}

void HistoryView::undoRun(const QString &run)
{
    undoAside(QStringLiteral("Undoing the run…"), [this, run] {
        const FixUndo::RunOutcome outcome = m_fixUndo.undoRun(run);
        return std::function<void()>([this, outcome] { showRunUndone(outcome); });
    });
}

void HistoryView::undoAside(const QString &working, std::function<std::function<void()>()> undo)
{
    m_undoing = true;
    m_undo->setEnabled(false);
    m_status->setText(working);
    if (!m_undoQueue)
        m_undoQueue = std::make_unique<SerialQueue>(QStringLiteral("Undo"));
    // The view waits for the queue before it goes, so `this` outlives the task; a result
    // posted to a view being destroyed is dropped with it.
    m_undoQueue->post([this, undo = std::move(undo)] {
        QMetaObject::invokeMethod(this, undo(), Qt::QueuedConnection);
    });
}

void HistoryView::showUndone(const FixUndo::Outcome &outcome)
{
    m_undoing = false;
    if (outcome.status == FixUndo::Status::undone) {
        m_status->setText(outcome.message);
    } else {
        m_status->clear();
        Dialogs::current().showFailure(this, QStringLiteral("Could not undo the fix"),
                                       outcome.message);
    }
    m_model->reload();
    showSelected();
}

void HistoryView::showRunUndone(const FixUndo::RunOutcome &outcome)
{
    m_undoing = false;
    m_status->setText(outcome.summary());
    if (!outcome.notUndone.isEmpty())
        Dialogs::current().showFailure(this, QStringLiteral("Some fixes were not undone"),
                                       outcome.summary() + u'\n' + outcome.notUndone.join(u'\n'));
    m_model->reload();
    showSelected();
}

void HistoryView::keepSelection()
{
    const int row = selectedRow();
    const FixRecord *fix = m_model->fixAt(row);
    m_keptFix = fix ? fix->id : 0;
    m_keptRun = row >= 0 && !fix ? m_model->runAt(row) : QString();
}

void HistoryView::restoreSelection()
{
    if (m_keptFix != 0)
        selectFix(m_keptFix);
    else if (!m_keptRun.isEmpty())
        selectRun(m_keptRun);
    showSelected();
}

bool HistoryView::selectFix(quint64 id)
{
    const int row = m_model->rowOfFix(id);
    if (row >= 0)
        m_list->setCurrentIndex(m_model->index(row));
    return row >= 0;
}

bool HistoryView::selectRun(const QString &run)
{
    const int row = m_model->rowOfRun(run);
    if (row >= 0)
        m_list->setCurrentIndex(m_model->index(row));
    return row >= 0;
}
