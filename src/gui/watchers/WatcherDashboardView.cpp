// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/watchers/WatcherDashboardView.h"

#include "core/formatting/ConfigManagerFactory.h"
#include "core/services/CoreServices.h"
#include "core/support/NotificationCenter.h"
#include "core/watching/CodeWatcherTableViewModel.h"
#include "gui/support/Controls.h"
#include "gui/support/ShellNotifications.h"
#include "gui/support/TextStyles.h"
#include "gui/watchers/AddWatcherView.h"
#include "gui/watchers/CodeWatcherTable.h"

#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

QWidget *emptyState(const QString &symbol, const QString &title, const QString &message,
                    QWidget *action)
{
    return Controls::emptyState(
        symbol, 50, TextStyles::label(title, TextStyles::Style::title3, QFont::DemiBold), message,
        16, action);
}

} // namespace

WatcherDashboardView::WatcherDashboardView(CoreServices &core, QWidget *parent)
    : QWidget(parent)
    , m_core(core)
    , m_configurations(core.configurations())
    , m_model(new CodeWatcherTableViewModel(core.registry(), core.notifications(), core.progress(),
                                            core.counters(), core.health(), m_configurations, this))
    , m_addWatcher(new AddWatcherView(core.registry(), m_configurations))
    , m_table(new CodeWatcherTable(*m_model, core.registry(), m_configurations))
    , m_body(new QStackedWidget)
{
    QLabel *title = TextStyles::label(QStringLiteral("Active Watchers"), TextStyles::Style::title2,
                                      QFont::DemiBold);
    auto *header = new QHBoxLayout;
    header->addWidget(title);
    header->addStretch();
    header->addWidget(m_addWatcher);

    // The empty states are made when first needed: with watchers stored, never.
    m_body->addWidget(new QWidget);
    m_body->addWidget(new QWidget);
    m_body->addWidget(m_table);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(m_body, 1);

    connect(&m_configurations, &ConfigManagerFactory::configsChanged, this,
            &WatcherDashboardView::chooseBody);
    for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_model, signal, this, &WatcherDashboardView::chooseBody);
    connect(m_model, &QAbstractItemModel::modelReset, this, &WatcherDashboardView::chooseBody);
    chooseBody();
}

WatcherDashboardView::~WatcherDashboardView() = default;

QWidget *WatcherDashboardView::makeEmptyState(Body body)
{
    if (body == Body::noWatchers)
        return emptyState(QStringLiteral("folder.badge.plus"),
                          QStringLiteral("No Watchers Created"),
                          QStringLiteral("You have configurations set up. Now you can "
                                         "create watchers to monitor your project "
                                         "directories."),
                          new AddWatcherView(m_core.registry(), m_configurations));
    auto *goToConfigurations = new QPushButton(QStringLiteral("Go to Configurations"));
    goToConfigurations->setDefault(true);
    goToConfigurations->setAccessibleName(goToConfigurations->text());
    NotificationCenter *notifications = &m_core.notifications();
    connect(goToConfigurations, &QPushButton::clicked, this, [notifications] {
        notifications->post(ShellNotifications::switchToConfigurationsTab);
    });
    return emptyState(
        QStringLiteral("gear.badge.questionmark"), QStringLiteral("No Configurations Available"),
        QStringLiteral("You need to create at least one configuration before adding watchers."),
        goToConfigurations);
}

WatcherDashboardView::Body WatcherDashboardView::body() const
{
    return Body(m_body->currentIndex());
}

void WatcherDashboardView::chooseBody()
{
    const Body body = m_configurations.configs().isEmpty() ? Body::noConfigurations
                      : m_model->rowCount() == 0           ? Body::noWatchers
                                                           : Body::table;
    if (body != Body::table && !m_emptyStateMade.at(size_t(body))) {
        QWidget *made = makeEmptyState(body);
        QWidget *placeholder = m_body->widget(int(body));
        m_body->insertWidget(int(body), made);
        m_body->removeWidget(placeholder);
        placeholder->deleteLater();
        m_emptyStateMade.at(size_t(body)) = true;
    }
    m_body->setCurrentIndex(int(body));
}
