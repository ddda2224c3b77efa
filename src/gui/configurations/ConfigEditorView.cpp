// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/configurations/ConfigEditorView.h"

#include "core/formatting/ConfigManagerFactory.h"
#include "core/formatting/ConfigurationListModel.h"
#include "core/watching/MonitorRegistry.h"
#include "gui/configurations/ConfigurationRowDelegate.h"
#include "gui/configurations/RawXmlFormatterView.h"
#include "gui/support/Controls.h"
#include "gui/support/Dialogs.h"
#include "gui/support/SymbolIcons.h"
#include "gui/support/TextStyles.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

ConfigEditorView::ConfigEditorView(ConfigManagerFactory &store, MonitorRegistry &registry,
                                   SupportedFileExtension configType, QWidget *parent)
    : QDialog(parent)
    , m_configType(configType)
    , m_configManagerFactory(store)
    , m_registry(registry)
    , m_model(new ConfigurationListModel(m_configManagerFactory, configType, this))
    , m_list(new QListView)
    , m_body(new QStackedWidget)
    , m_add(Controls::prominentButton(QStringLiteral("Add Rule"), QStringLiteral("plus")))
    , m_done(new QPushButton(QStringLiteral("Done")))
{
    const QString code = SupportedFileExtensions::code(configType);
    setWindowTitle(code + QStringLiteral(" Configuration Rules"));
    setWindowModality(Qt::WindowModal);
    setMinimumSize(500, 400);

    m_list->setModel(m_model);
    m_list->setItemDelegate(new ConfigurationRowDelegate(m_list));
    m_list->setAccessibleName(QStringLiteral("Configurations"));
    // The rows' trash buttons are widgets the list does not announce: the keys do the same.
    m_list->setAccessibleDescription(
        QStringLiteral("Return edits the chosen configuration; Delete deletes it."));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setUniformItemSizes(true);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, &ConfigEditorView::showRowMenu);
    auto *deleteKey = new QShortcut(QKeySequence::Delete, m_list, nullptr, nullptr,
                                    Qt::WidgetWithChildrenShortcut);
    connect(deleteKey, &QShortcut::activated, this, [this] {
        if (m_list->currentIndex().isValid())
            deleteConfiguration(m_list->currentIndex().row());
    });
    m_body->addWidget(makeEmptyState());
    m_body->addWidget(m_list);

    m_done->setAccessibleName(m_done->text());
    m_done->setToolTip(QStringLiteral("Ctrl+Return"));
    auto *footer = new QHBoxLayout;
    footer->addStretch();
    footer->addWidget(m_done);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(16);
    layout->addLayout(makeHeader());
    layout->addWidget(m_body, 1);
    layout->addLayout(footer);

    connect(m_add, &QPushButton::clicked, this, [this] { openEditor(); });
    connect(m_list, &QListView::activated, this,
            [this](const QModelIndex &index) { openEditor(index.row()); });
    connect(m_list, &QListView::clicked, this,
            [this](const QModelIndex &index) { openEditor(index.row()); });
    connect(m_done, &QPushButton::clicked, this, &QDialog::accept);
    auto *doneKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this);
    connect(doneKey, &QShortcut::activated, this, &QDialog::accept);
    connect(m_model, &QAbstractItemModel::modelReset, this, &ConfigEditorView::chooseBody);
    // A reset takes the view's row widgets with it.
    connect(m_model, &QAbstractItemModel::modelReset, this, &ConfigEditorView::addDeleteButtons);
    chooseBody();
    addDeleteButtons();
}

ConfigEditorView::~ConfigEditorView() = default;

QLayout *ConfigEditorView::makeHeader()
{
    const QString code = SupportedFileExtensions::code(m_configType);
    auto *titles = new QVBoxLayout;
    titles->addWidget(TextStyles::label(code + QStringLiteral(" Configuration Rules"),
                                        TextStyles::Style::title, QFont::DemiBold));
    QLabel *subtitle = TextStyles::label(QStringLiteral("Manage your formatting rules"),
                                         TextStyles::Style::subheadline);
    subtitle->setForegroundRole(QPalette::PlaceholderText);
    titles->addWidget(subtitle);
    auto *header = new QHBoxLayout;
    header->addLayout(titles);
    header->addStretch();
    header->addWidget(m_add, 0, Qt::AlignTop);
    return header;
}

QWidget *ConfigEditorView::makeEmptyState()
{
    const QString code = SupportedFileExtensions::code(m_configType);
    return Controls::emptyState(
        QStringLiteral("doc.badge.gearshape"), 48,
        TextStyles::label(QStringLiteral("No Configuration Rules"), TextStyles::Style::headline),
        QStringLiteral("Add your first rule to start formatting ") + code +
            QStringLiteral(" files"),
        12);
}

RawXmlFormatterView *ConfigEditorView::editorSheet() const
{
    return m_editor;
}

bool ConfigEditorView::showsEmptyState() const
{
    return m_body->currentIndex() == 0;
}

void ConfigEditorView::chooseBody()
{
    m_body->setCurrentIndex(m_model->rowCount() == 0 ? 0 : 1);
}

void ConfigEditorView::openEditor(std::optional<int> row)
{
    if (m_editor)
        return;
    std::optional<ConfigurationItem> existing;
    if (row)
        existing = m_model->itemAt(*row);
    m_editor = new RawXmlFormatterView(m_configManagerFactory, existing, m_configType, this);
    m_editor->setAttribute(Qt::WA_DeleteOnClose);
    m_editor->open();
}

void ConfigEditorView::rename(int row)
{
    openEditor(row);
    if (m_editor) {
        m_editor->nameField()->setFocus();
        m_editor->nameField()->selectAll();
    }
}

int ConfigEditorView::rowOf(const QUuid &id) const
{
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (m_model->itemAt(row).id == id)
            return row;
    }
    return -1;
}

void ConfigEditorView::addDeleteButtons()
{
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const ConfigurationItem item = m_model->itemAt(row);
        QToolButton *button = Controls::borderlessButton(
            QString(), QStringLiteral("trash"), QStringLiteral("Delete “%1”").arg(item.name));
        button->setFixedSize(ConfigurationRowDelegate::buttonSize,
                             ConfigurationRowDelegate::buttonSize);
        connect(button, &QToolButton::clicked, this, [this, id = item.id] {
            if (const int at = rowOf(id); at >= 0)
                deleteConfiguration(at);
        });
        m_list->setIndexWidget(m_model->index(row), button);
    }
}

QToolButton *ConfigEditorView::deleteButton(int row) const
{
    return qobject_cast<QToolButton *>(m_list->indexWidget(m_model->index(row)));
}

QMenu *ConfigEditorView::rowMenu(int row)
{
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setAccessibleName(m_model->itemAt(row).name);
    // The list may have changed by the time an entry is chosen: the row is found again.
    const auto onRow = [this, id = m_model->itemAt(row).id](auto action) {
        return [this, id, action] {
            if (const int at = rowOf(id); at >= 0)
                action(at);
        };
    };
    connect(menu->addAction(QStringLiteral("Edit")), &QAction::triggered, this,
            onRow([this](int at) { openEditor(at); }));
    connect(menu->addAction(QStringLiteral("Rename…")), &QAction::triggered, this,
            onRow([this](int at) { rename(at); }));
    menu->addSeparator();
    connect(menu->addAction(SymbolIcons::icon(QStringLiteral("trash")), QStringLiteral("Delete…")),
            &QAction::triggered, this, onRow([this](int at) { deleteConfiguration(at); }));
    return menu;
}

void ConfigEditorView::showRowMenu(const QPoint &at)
{
    const QModelIndex index = m_list->indexAt(at);
    if (index.isValid())
        rowMenu(index.row())->popup(m_list->viewport()->mapToGlobal(at));
}

void ConfigEditorView::deleteConfiguration(int row)
{
    const ConfigurationItem item = m_model->itemAt(row);
    if (item.id.isNull() || refuseWhileUsed(item))
        return;
    Dialogs::current().confirm(
        this, QStringLiteral("Delete “%1”?").arg(item.name),
        QStringLiteral("The configuration and its file are deleted. This cannot be undone."),
        QStringLiteral("Delete"), [self = QPointer(this), item](bool confirmed) {
            if (self && confirmed)
                self->remove(item);
        });
}

bool ConfigEditorView::refuseWhileUsed(const ConfigurationItem &item)
{
    QStringList names;
    for (const CodeWatcherModel &watcher : m_registry.watchersUsing(item.id))
        names << QStringLiteral("“%1”").arg(watcher.name);
    if (names.isEmpty())
        return false;
    const QString text =
        names.size() == 1
            ? QStringLiteral("The watcher %1 formats with it. Remove it, or give it another "
                             "configuration, first.")
                  .arg(names.first())
            : QStringLiteral("The watchers %1 and %2 format with it. Remove them, or give them "
                             "another configuration, first.")
                  .arg(names.mid(0, names.size() - 1).join(u", "_s), names.last());
    Dialogs::current().showFailure(this, QStringLiteral("“%1” cannot be deleted").arg(item.name),
                                   text);
    return true;
}

void ConfigEditorView::remove(const ConfigurationItem &item)
{
    // A watcher may have taken it up while the question was open.
    if (refuseWhileUsed(item))
        return;
    if (const Result<void> removed = m_configManagerFactory.removeConfig(item.id); !removed)
        Dialogs::current().showFailure(this, QStringLiteral("Could not delete “%1”").arg(item.name),
                                       removed.error().description);
}
