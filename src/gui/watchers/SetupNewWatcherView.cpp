// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/watchers/SetupNewWatcherView.h"

#include "core/formatting/ConfigManagerFactory.h"
#include "core/model/Languages.h"
#include "core/support/LocalPath.h"
#include "core/watching/MonitorRegistry.h"
#include "gui/support/Controls.h"
#include "gui/support/TextStyles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// What the user can do about it, not which call refused.
QString failureText(const AddWatcherError &failure)
{
    switch (failure.kind) {
    case AddWatcherError::Kind::alreadyRegistered:
        return QStringLiteral("This watcher is already registered.");
    case AddWatcherError::Kind::folderRefused:
        return QStringLiteral("Sprucer cannot open this folder. Check that it still exists and "
                              "that you may read it.");
    case AddWatcherError::Kind::configurationGone:
        return QStringLiteral("Its configuration was deleted or cannot be read. Choose another "
                              "configuration.");
    case AddWatcherError::Kind::streamFailed:
        return QStringLiteral("Sprucer cannot follow the changes in this folder; the system's "
                              "limit of watched folders may be reached. The log has the details.");
    }
    return failure.error.description;
}

} // namespace

SetupNewWatcherView::SetupNewWatcherView(const QUrl &chosenUrl, MonitorRegistry &registry,
                                         ConfigManagerFactory &configurations, QWidget *parent)
    : QDialog(parent)
    , m_chosenUrl(chosenUrl)
    , m_registry(registry)
    , m_configurations(configurations)
    , m_name(new QLineEdit)
    , m_configuration(new QComboBox)
    , m_changedLines(new QCheckBox(QStringLiteral("Only lines I changed")))
    , m_gitignore(new QCheckBox(QStringLiteral("Skip files git ignores")))
    , m_missing(TextStyles::label(QString(), TextStyles::Style::subheadline))
    , m_nesting(TextStyles::label(QString(), TextStyles::Style::subheadline))
    , m_error(Controls::errorLine())
    , m_add(new QPushButton(QStringLiteral("Add")))
{
    setWindowTitle(QStringLiteral("Configure new watcher"));
    setWindowModality(Qt::WindowModal);

    QLabel *title =
        TextStyles::label(QStringLiteral("Configure new watcher"), TextStyles::Style::title);

    m_name->setPlaceholderText(QStringLiteral("Name"));
    m_name->setAccessibleName(QStringLiteral("Name"));
    m_configuration->setAccessibleName(QStringLiteral("Select configuration"));
    m_configuration->addItem(QStringLiteral("Select a configuration"));
    // The configuration decides the watcher's language: the menu says which each one is.
    for (const ConfigurationItem &item : configurations.configs())
        m_configuration->addItem(
            QStringLiteral("%1 (%2)").arg(item.name, Languages::of(item.language).displayName),
            QVariant::fromValue(item.id));
    auto *path = new QLabel(QStringLiteral("Path to watch: ") +
                            LocalPath::shown(LocalPath::fromUrl(chosenUrl)));
    path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    path->setWordWrap(true);

    auto *form = new QFormLayout;
    form->addRow(m_name);
    form->addRow(QStringLiteral("Select configuration"), m_configuration);
    form->addRow(path);
    const GitOptions git = GitOptions::forNewWatcher();
    m_changedLines->setChecked(git.changedLinesOnly);
    m_changedLines->setToolTip(QStringLiteral("Keep only the formatter's changes to the lines "
                                              "that differ from git's last commit"));
    m_gitignore->setChecked(git.respectGitignore);
    m_gitignore->setToolTip(QStringLiteral("Leave alone the files that git ignores"));
    for (QCheckBox *box : {m_changedLines, m_gitignore}) {
        box->setAccessibleName(box->text());
        form->addRow(box);
    }
    auto *formBox = new QWidget;
    formBox->setLayout(form);
    formBox->setFixedWidth(400);

    auto *cancel = new QPushButton(QStringLiteral("Cancel"));
    m_add->setDefault(true);
    for (QPushButton *button : {m_add, cancel})
        button->setAccessibleName(button->text());
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_add, &QPushButton::clicked, this, &SetupNewWatcherView::add);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(m_add);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(20);
    layout->addWidget(title);
    layout->addWidget(formBox);
    layout->addWidget(m_nesting);
    layout->addWidget(m_missing);
    layout->addWidget(m_error);
    layout->addLayout(buttons);

    // Not a refusal: a subproject may well want a style of its own.
    const QString nesting =
        WatcherNesting::warning(LocalPath::fromUrl(chosenUrl), registry.watchers());
    m_nesting->setText(nesting);
    m_nesting->setAccessibleName(nesting);
    m_nesting->setWordWrap(true);
    m_nesting->setVisible(!nesting.isEmpty());

    connect(m_name, &QLineEdit::textChanged, this, &SetupNewWatcherView::updateAddButton);
    connect(m_configuration, &QComboBox::currentIndexChanged, this,
            &SetupNewWatcherView::updateAddButton);
    updateAddButton();
}

void SetupNewWatcherView::updateAddButton()
{
    const bool named = !m_name->text().trimmed().isEmpty();
    const bool configured = !m_configuration->currentData().value<QUuid>().isNull();
    m_add->setEnabled(named && configured);
    const QString missing = !named && !configured ? QStringLiteral("Type a name and choose a "
                                                                   "configuration to add the "
                                                                   "watcher.")
                            : !named ? QStringLiteral("Type a name to add the watcher.")
                            : !configured
                                ? QStringLiteral("Choose a configuration to add the watcher.")
                                : QString();
    m_missing->setText(missing);
    m_missing->setAccessibleName(missing);
    m_missing->setVisible(!missing.isEmpty());
}

void SetupNewWatcherView::add()
{
    const auto configurationId = m_configuration->currentData().value<QUuid>();
    if (configurationId.isNull() || m_name->text().trimmed().isEmpty())
        return;
    const Result<ConfigurationItem> configuration = m_configurations.getConfig(configurationId);
    AddWatcherResult added =
        AddWatcherError{AddWatcherError::Kind::configurationGone, configuration.error()};
    if (configuration) {
        const CodeWatcherModel watcher = CodeWatcherModel::make(
            m_name->text().trimmed(), m_chosenUrl, configuration.value().language, configurationId);
        added = m_registry.addWatcher(watcher);
        if (added)
            (void)m_registry.setGitOptions(watcher.id,
                                           {m_changedLines->isChecked(), m_gitignore->isChecked()});
    }
    if (!added) {
        m_error->setText(QStringLiteral("This watcher could not be added. ") +
                         failureText(added.error()));
        m_error->show();
        return;
    }
    accept();
}
