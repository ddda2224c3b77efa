// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/configurations/ConfigCard.h"

#include "core/formatting/ToolProfile.h"
#include "gui/configurations/ConfigEditorView.h"
#include "gui/support/Controls.h"
#include "gui/support/Palette.h"
#include "gui/support/PopupPlacement.h"
#include "gui/support/SymbolIcons.h"
#include "gui/support/TextStyles.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QFrame *divider()
{
    auto *line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

} // namespace

ConfigCard::ConfigCard(const Language &language, ConfigManagerFactory &store,
                       MonitorRegistry &registry, QWidget *parent)
    : QFrame(parent)
    , m_language(language)
    , m_store(store)
    , m_registry(registry)
    , m_icon(new QLabel)
    , m_warning(Controls::borderlessButton(QString(),
                                           QStringLiteral("exclamationmark.triangle.fill"),
                                           QStringLiteral("Why the tool is missing")))
    , m_edit(Controls::borderlessButton(QStringLiteral("Edit")))
    , m_status(TextStyles::label(QString(), TextStyles::Style::subheadline))
    , m_hint(TextStyles::label(QString(), TextStyles::Style::caption))
{
    setObjectName(QStringLiteral("ConfigCard"));
    setAccessibleName(m_language.displayName);
    // Rounded, on the text background, as every card of the dashboard.
    setStyleSheet(QStringLiteral("QFrame#ConfigCard { background: palette(base); "
                                 "border-radius: 12px; }"));
    m_warning->setIcon(
        SymbolIcons::icon(QStringLiteral("exclamationmark.triangle.fill"), Palette::yellow()));
    m_edit->setAccessibleName(QStringLiteral("Edit ") + m_language.displayName);
    for (QLabel *line : {m_status, m_hint}) {
        line->setForegroundRole(QPalette::PlaceholderText);
        line->setWordWrap(true);
    }
    m_hint->setTextFormat(Qt::RichText);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(12);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addLayout(makeHeader());
    layout->addWidget(divider());
    layout->addWidget(m_status);
    layout->addWidget(m_hint);
    layout->addStretch();

    connect(m_warning, &QToolButton::clicked, this, &ConfigCard::showError);
    connect(m_edit, &QToolButton::clicked, this, &ConfigCard::showListSheet);
    setToolStatus(false, std::nullopt);
}

QLayout *ConfigCard::makeHeader()
{
    QLabel *title =
        TextStyles::label(m_language.displayName, TextStyles::Style::title, QFont::DemiBold);
    auto *header = new QHBoxLayout;
    header->addWidget(m_icon);
    header->addWidget(m_warning);
    header->addWidget(title);
    header->addStretch();
    header->addWidget(m_edit);
    return header;
}

void ConfigCard::setToolStatus(bool installed, const std::optional<QString> &toolError)
{
    m_installed = installed;
    m_toolError = toolError;
    const QColor iconColour =
        palette().color(installed ? QPalette::WindowText : QPalette::PlaceholderText);
    const int iconSize = QFontInfo(font()).pixelSize() * 2;
    m_icon->setPixmap(
        SymbolIcons::icon(m_language.iconName, iconColour).pixmap(QSize(iconSize, iconSize)));
    m_warning->setVisible(!installed);
    m_status->setText(statusText());
    m_hint->setText(installHint());
    m_hint->setVisible(!installed);
}

QString ConfigCard::statusText() const
{
    if (m_installed)
        return QStringLiteral("Configure formatting rules for ") + m_language.displayName +
               QStringLiteral(" files");
    return m_language.displayName + QStringLiteral(" not installed");
}

// The command in the fixed font, without the backquotes that mark it.
QString ConfigCard::installHint() const
{
    const QString fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    return QStringLiteral("you can install using <span style=\"font-family: '%1'\">"
                          "brew install %2</span>")
        .arg(fixed.toHtmlEscaped(), ToolProfile::of(m_language.tool).executable.toHtmlEscaped());
}

QWidget *ConfigCard::errorPopup() const
{
    return m_errorPopup;
}

ConfigEditorView *ConfigCard::listSheet() const
{
    return m_listSheet;
}

void ConfigCard::showError()
{
    auto *popup = new QFrame(this, Qt::Popup);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->setFrameShape(QFrame::StyledPanel);
    auto *text = new QLabel(m_toolError.value_or(QStringLiteral("Tool not installed")));
    text->setWordWrap(true);
    text->setMaximumWidth(360);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *layout = new QVBoxLayout(popup);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(text);
    popup->adjustSize();
    const QRect anchor(m_warning->mapToGlobal(QPoint()), m_warning->size());
    popup->move(popupOrigin(anchor, popup->size()));
    popup->show();
    m_errorPopup = popup;
}

void ConfigCard::showListSheet()
{
    if (m_listSheet)
        return;
    m_listSheet = new ConfigEditorView(m_store, m_registry, m_language.kind, window());
    m_listSheet->setAttribute(Qt::WA_DeleteOnClose);
    m_listSheet->open();
}
