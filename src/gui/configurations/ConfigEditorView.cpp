// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/configurations/ConfigEditorView.h"

#include "core/formatting/ConfigurationListModel.h"
#include "gui/configurations/ConfigurationRowDelegate.h"
#include "gui/configurations/RawXmlFormatterView.h"
#include "gui/support/Controls.h"
#include "gui/support/TextStyles.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

ConfigEditorView::ConfigEditorView(ConfigManagerFactory &store, SupportedFileExtension configType,
                                   QWidget *parent)
    : QDialog(parent)
    , m_configType(configType)
    , m_configManagerFactory(store)
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
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setUniformItemSizes(true);
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
    chooseBody();
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
