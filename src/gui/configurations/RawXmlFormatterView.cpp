// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/configurations/RawXmlFormatterView.h"

#include "core/formatting/ConfigurationCheck.h"
#include "core/formatting/ConfigurationCheckResult.h"
#include "core/formatting/ImportedConfiguration.h"
#include "core/formatting/RawXmlFormatterViewModel.h"
#include "core/model/Languages.h"
#include "core/support/Log.h"
#include "gui/editor/CodeEditor.h"
#include "gui/support/Controls.h"
#include "gui/support/Dialogs.h"
#include "gui/support/Palette.h"
#include "gui/support/SymbolIcons.h"
#include "gui/support/TextStyles.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// What the configuration is, not what the sheet once asked for: clang-format and SwiftLint
// read YAML, ktlint an .editorconfig.
QString editorLanguage(SupportedFileExtension language)
{
    switch (Languages::of(language).configurationSyntax) {
    case ConfigurationSyntax::editorconfig:
        return QStringLiteral("editorconfig");
    case ConfigurationSyntax::yaml:
        break;
    }
    return QStringLiteral("yaml");
}

QLabel *secondaryTitle(const QString &text)
{
    QLabel *label = TextStyles::label(text, TextStyles::Style::subheadline);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

} // namespace

RawXmlFormatterView::RawXmlFormatterView(ConfigManagerFactory &store,
                                         const std::optional<ConfigurationItem> &existing,
                                         SupportedFileExtension selectedExtension, QWidget *parent)
    : QDialog(parent)
    , m_viewModel(new RawXmlFormatterViewModel(store, existing, this))
    , m_selectedExtension(selectedExtension)
    , m_name(new QLineEdit)
    , m_nameLine(Controls::errorLine())
    , m_import(Controls::borderlessButton(QStringLiteral("Import File"),
                                          QStringLiteral("doc.badge.plus")))
    , m_pathRow(new QWidget)
    , m_path(TextStyles::label(QString(), TextStyles::Style::caption))
    , m_editorFrame(new QFrame)
    , m_editor(new CodeEditor)
    , m_check(new ConfigurationCheck({}, ConfigurationCheck::defaultPause, this))
    , m_checkLine(TextStyles::label(QString(), TextStyles::Style::caption))
    , m_error(Controls::errorLine())
    , m_cancel(new QPushButton(QStringLiteral("Cancel")))
    , m_save(new QPushButton(m_viewModel->isEditing() ? QStringLiteral("Save Changes")
                                                      : QStringLiteral("Create Configuration")))
{
    const QString title = m_viewModel->isEditing() ? QStringLiteral("Edit Configuration")
                                                   : QStringLiteral("New Configuration");
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    setMinimumSize(560, 520);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(16);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->addWidget(TextStyles::label(title, TextStyles::Style::title, QFont::Bold));
    layout->addLayout(makeNameBlock());
    layout->addLayout(makeContentBlock(), 1);
    layout->addWidget(m_error);
    layout->addSpacing(8);
    layout->addLayout(makeButtons());

    connect(m_viewModel, &RawXmlFormatterViewModel::configChanged, this,
            &RawXmlFormatterView::updateSaveButton);
    connect(m_viewModel, &RawXmlFormatterViewModel::configNameChanged, this,
            &RawXmlFormatterView::updateSaveButton);
    connect(m_viewModel, &RawXmlFormatterViewModel::configNameChanged, this,
            &RawXmlFormatterView::checkName);
    connect(m_viewModel, &RawXmlFormatterViewModel::configChanged, this,
            &RawXmlFormatterView::textChanged);
    connect(m_check, &ConfigurationCheck::checked, this, &RawXmlFormatterView::showCheck);
    updateSaveButton();
    requestCheck();
}

RawXmlFormatterView::~RawXmlFormatterView() = default;

QLayout *RawXmlFormatterView::makeNameBlock()
{
    m_name->setPlaceholderText(QStringLiteral("Enter configuration name"));
    m_name->setAccessibleName(QStringLiteral("Configuration Name"));
    m_name->setText(m_viewModel->configName());
    connect(m_name, &QLineEdit::textChanged, m_viewModel, &RawXmlFormatterViewModel::setConfigName);
    auto *block = new QVBoxLayout;
    block->setSpacing(8);
    block->addWidget(secondaryTitle(QStringLiteral("Configuration Name")));
    block->addWidget(m_name);
    block->addWidget(m_nameLine);
    return block;
}

QLayout *RawXmlFormatterView::makeContentBlock()
{
    auto *header = new QHBoxLayout;
    header->addWidget(secondaryTitle(QStringLiteral("Configuration Content")));
    header->addStretch();
    header->addWidget(m_import);
    connect(m_import, &QToolButton::clicked, this, &RawXmlFormatterView::importFile);

    auto *fileIcon = new QLabel;
    fileIcon->setPixmap(
        SymbolIcons::icon(QStringLiteral("doc.fill"), Palette::blue()).pixmap(QSize(14, 14)));
    m_path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *pathLayout = new QHBoxLayout(m_pathRow);
    pathLayout->setContentsMargins(0, 0, 0, 0);
    pathLayout->addWidget(fileIcon);
    pathLayout->addWidget(m_path, 1);
    m_pathRow->hide();

    m_editor->setLanguage(editorLanguage(m_selectedExtension));
    m_editor->setTheme(QStringLiteral("ocean"));
    m_editor->setAccessibleName(QStringLiteral("Configuration Content"));
    m_editor->setText(m_viewModel->config());
    m_editor->setMinimumHeight(200);
    connect(m_editor, &CodeEditor::textEdited, m_viewModel, &RawXmlFormatterViewModel::setConfig);
    connect(m_viewModel, &RawXmlFormatterViewModel::configChanged, m_editor, &CodeEditor::setText);
    connect(m_editor, &CodeEditor::dropHoverChanged, this, &RawXmlFormatterView::setHovering);
    // Taken on the next turn, as a dropped item arrives after the drop has ended.
    connect(m_editor, &CodeEditor::fileDropped, this, &RawXmlFormatterView::loadDroppedFile,
            Qt::QueuedConnection);
    m_editorFrame->setObjectName(QStringLiteral("EditorFrame"));
    auto *frameLayout = new QVBoxLayout(m_editorFrame);
    frameLayout->setContentsMargins(3, 3, 3, 3);
    m_editor->setFrameShape(QFrame::NoFrame); // the rounded frame is the one border
    frameLayout->addWidget(m_editor);
    setHovering(false);

    auto *block = new QVBoxLayout;
    block->setSpacing(8);
    block->addLayout(header);
    block->addWidget(m_pathRow);
    block->addWidget(m_editorFrame, 1);
    m_checkLine->setWordWrap(true);
    m_checkLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_checkLine->hide();
    block->addWidget(m_checkLine);
    return block;
}

QLayout *RawXmlFormatterView::makeButtons()
{
    for (QPushButton *button : {m_cancel, m_save})
        button->setAccessibleName(button->text());
    m_save->setDefault(true);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_save, &QPushButton::clicked, this, &RawXmlFormatterView::save);
    auto *row = new QHBoxLayout;
    row->setSpacing(16);
    row->addStretch();
    row->addWidget(m_cancel);
    row->addWidget(m_save);
    return row;
}

void RawXmlFormatterView::setHovering(bool hovering)
{
    m_hovering = hovering;
    const QColor colour = hovering ? palette().color(QPalette::Highlight)
                                   : palette().color(QPalette::PlaceholderText);
    m_editorFrame->setStyleSheet(
        QStringLiteral("QFrame#EditorFrame { border: %1px solid %2; border-radius: 8px; }")
            .arg(hovering ? 2 : 1)
            .arg(Palette::css(colour)));
}

void RawXmlFormatterView::updateSaveButton()
{
    m_save->setEnabled(!m_saveWhenChecked && !m_viewModel->configName().isEmpty() &&
                       !m_viewModel->config().isEmpty() && m_nameLine->isHidden());
}

bool RawXmlFormatterView::checkName()
{
    const QString conflict =
        m_viewModel->nameConflict(m_selectedExtension, m_viewModel->configName());
    m_nameLine->setText(conflict);
    m_nameLine->setAccessibleName(conflict);
    m_nameLine->setHidden(conflict.isEmpty());
    updateSaveButton();
    return conflict.isEmpty();
}

void RawXmlFormatterView::textChanged()
{
    m_verdict.reset();
    requestCheck();
}

void RawXmlFormatterView::requestCheck()
{
    // An empty text has nothing to check yet; the save button already says it is missing.
    if (m_viewModel->config().trimmed().isEmpty()) {
        m_checkLine->hide();
        return;
    }
    m_check->request(m_selectedExtension, m_viewModel->config());
}

void RawXmlFormatterView::showCheck(const ConfigurationCheckResult &result)
{
    // Only the text as it is now is ever answered for.
    m_verdict = result;
    if (std::exchange(m_saveWhenChecked, false)) {
        updateSaveButton();
        QMetaObject::invokeMethod(this, &RawXmlFormatterView::save, Qt::QueuedConnection);
    }
    using State = ConfigurationCheckResult::State;
    QColor colour = palette().color(QPalette::PlaceholderText);
    QString text;
    switch (result.state) {
    case State::accepted:
        colour = Palette::green();
        text = result.toolName + QStringLiteral(" accepts this configuration.");
        if (!result.message.isEmpty())
            text = result.message;
        break;
    case State::refused:
        colour = Palette::red();
        text = result.toolName + QStringLiteral(" refuses it: ") + result.message;
        break;
    case State::toolMissing:
        text = result.toolName +
               QStringLiteral(" is not installed, so this configuration cannot be checked.");
        break;
    case State::notChecked:
        text = result.message;
        break;
    }
    if (result.state == State::refused && result.line)
        m_editor->markLine(*result.line);
    else
        m_editor->clearMarkedLine();
    QPalette linePalette = m_checkLine->palette();
    // Small text: its colour says the verdict, but it must read at 4.5:1 all the same.
    linePalette.setColor(QPalette::WindowText,
                         Palette::readable(colour, palette().color(QPalette::Window)));
    m_checkLine->setPalette(linePalette);
    m_checkLine->setText(text);
    m_checkLine->setAccessibleName(text);
    m_checkLine->show();
}

void RawXmlFormatterView::importFile()
{
    Dialogs::current().chooseOpenFile(this, QStringLiteral("Import File"),
                                      [self = QPointer(this)](const QString &path) {
                                          if (self && !path.isEmpty())
                                              self->loadFile(path);
                                      });
}

void RawXmlFormatterView::loadDroppedFile(const QUrl &url)
{
    if (url.isLocalFile())
        loadFile(url.toLocalFile());
}

void RawXmlFormatterView::loadFile(const QString &path)
{
    m_selectedFilePath = path;
    // One line: the folders in the middle give way first, the file's name stays.
    m_path->setText(m_path->fontMetrics().elidedText(path, Qt::ElideMiddle, width() - 80));
    m_path->setToolTip(path);
    m_path->setAccessibleName(path);
    m_pathRow->show();
    const ImportedConfiguration imported = ImportedConfiguration::read(path);
    if (imported.outcome == ImportedConfiguration::Outcome::text) {
        m_viewModel->setConfig(imported.text);
        m_error->hide();
    } else if (imported.outcome == ImportedConfiguration::Outcome::tooLarge) {
        showError(QStringLiteral("This file is larger than 1 MiB, too large for a "
                                 "configuration; it was not read."));
    }
}

void RawXmlFormatterView::showError(const QString &message)
{
    m_error->setText(message);
    m_error->show();
}

void RawXmlFormatterView::save()
{
    // Not yet checked (typed or imported a moment ago): saved once the tool has answered.
    if (!m_verdict && !m_viewModel->config().trimmed().isEmpty()) {
        m_saveWhenChecked = true;
        updateSaveButton();
        m_check->checkNow();
        return;
    }
    if (!m_verdict || m_verdict->state != ConfigurationCheckResult::State::refused) {
        store();
        return;
    }
    const QString tool = m_verdict->toolName;
    Dialogs::current().confirm(
        this, tool + QStringLiteral(" refuses this configuration"),
        tool + QStringLiteral(" says: ") + m_verdict->message +
            QStringLiteral("\n\nEvery fix of a watcher that uses it will fail until it is "
                           "mended. Save it all the same?"),
        m_viewModel->isEditing() ? QStringLiteral("Save Anyway") : QStringLiteral("Create Anyway"),
        [self = QPointer(this)](bool confirmed) {
            if (self && confirmed)
                self->store();
        });
}

void RawXmlFormatterView::store()
{
    // Taken meanwhile (another sheet, the command line): said under the name, as when typed.
    if (!checkName())
        return;
    const Result<void> saved = m_viewModel->saveConfig(
        QUuid::createUuid(), m_viewModel->config(), m_selectedExtension, m_viewModel->configName());
    if (!saved) {
        showError(saved.error().description);
        Log::line(QStringLiteral("RawXML Formatter Error: ") + saved.error().fullDescription());
        return;
    }
    accept();
}
