// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/configurations/ConfigurationDashboardView.h"

#include "core/formatting/DependencyChecker.h"
#include "core/formatting/DependencyStatusViewModel.h"
#include "gui/configurations/ConfigCard.h"

#include <QGridLayout>
#include <QScrollBar>

namespace {

constexpr int kSpacing = 16;
constexpr int kPadding = 20;

} // namespace

ConfigurationDashboardView::ConfigurationDashboardView(ConfigManagerFactory &store,
                                                       MonitorRegistry &registry, QWidget *parent)
    : ConfigurationDashboardView(store, registry, DependencyChecker::shared(), parent)
{}

ConfigurationDashboardView::ConfigurationDashboardView(ConfigManagerFactory &store,
                                                       MonitorRegistry &registry,
                                                       const DependencyChecker &checker,
                                                       QWidget *parent)
    : QScrollArea(parent)
    , m_dependencyStatus(new DependencyStatusViewModel(checker, this))
    , m_grid(new QGridLayout)
{
    setAccessibleName(QStringLiteral("Configurations"));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto *content = new QWidget;
    content->setLayout(m_grid);
    m_grid->setSpacing(kSpacing);
    m_grid->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    setWidget(content);
    makeCards(store, registry);
    for (const auto signal : {&DependencyStatusViewModel::swiftLintInstalledChanged,
                              &DependencyStatusViewModel::clangFormatInstalledChanged,
                              &DependencyStatusViewModel::ktlintInstalledChanged})
        connect(m_dependencyStatus, signal, this, &ConfigurationDashboardView::showToolStatus);
    for (const auto signal : {&DependencyStatusViewModel::swiftLintErrorChanged,
                              &DependencyStatusViewModel::clangFormatErrorChanged,
                              &DependencyStatusViewModel::ktlintFormatErrorChanged})
        connect(m_dependencyStatus, signal, this, &ConfigurationDashboardView::showToolStatus);
}

ConfigurationDashboardView::~ConfigurationDashboardView() = default;

void ConfigurationDashboardView::makeCards(ConfigManagerFactory &store, MonitorRegistry &registry)
{
    for (const Language &language : Languages::all())
        m_cards << new ConfigCard(language, store, registry);
}

void ConfigurationDashboardView::showToolStatus()
{
    for (ConfigCard *card : std::as_const(m_cards)) {
        const FormattingTool tool = card->language().tool;
        card->setToolStatus(m_dependencyStatus->installed(tool), m_dependencyStatus->error(tool));
    }
}

void ConfigurationDashboardView::showEvent(QShowEvent *event)
{
    QScrollArea::showEvent(event);
    m_dependencyStatus->checkAllDependencies();
    showToolStatus();
    reflow();
}

void ConfigurationDashboardView::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    reflow();
}

// As many columns of at least the minimum width as the viewport holds, never fewer than one.
void ConfigurationDashboardView::reflow()
{
    const int room = viewport()->width() - 2 * kPadding + kSpacing;
    const int columns = std::clamp(room / (minimumColumnWidth + kSpacing), 1, int(m_cards.size()));
    if (columns == m_columns)
        return;
    m_columns = columns;
    for (ConfigCard *card : std::as_const(m_cards))
        m_grid->removeWidget(card);
    for (int i = 0; i < m_cards.size(); ++i)
        m_grid->addWidget(m_cards[i], i / columns, i % columns);
    for (int column = 0; column < m_cards.size(); ++column)
        m_grid->setColumnStretch(column, column < columns ? 1 : 0);
    const int rows = int((m_cards.size() + columns - 1) / columns);
    for (int row = 0; row <= m_cards.size(); ++row)
        m_grid->setRowStretch(row, row == rows ? 1 : 0);
}
