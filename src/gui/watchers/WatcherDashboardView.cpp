// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/watchers/WatcherDashboardView.h"

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
    , m_model(new CodeWatcherTableViewModel(core.registry(), core.notifications(), core.progress(),
                                            core.counters(), core.health(), this))
    , m_addWatcher(new AddWatcherView(core.registry(), m_configurations))
    , m_table(new CodeWatcherTable(*m_model, core.registry()))
    , m_body(new QStackedWidget)
{
    QLabel *title = TextStyles::label(QStringLiteral("Active Watchers"), TextStyles::Style::title2,
                                      QFont::DemiBold);
    auto *header = new QHBoxLayout;
    header->addWidget(title);
    header->addStretch();
    header->addWidget(m_addWatcher);

    auto *goToConfigurations = new QPushButton(QStringLiteral("Go to Configurations"));
    goToConfigurations->setDefault(true);
    goToConfigurations->setAccessibleName(goToConfigurations->text());
    NotificationCenter *notifications = &core.notifications();
    connect(goToConfigurations, &QPushButton::clicked, this, [notifications] {
        notifications->post(ShellNotifications::switchToConfigurationsTab);
    });
    m_body->addWidget(emptyState(
        QStringLiteral("gear.badge.questionmark"), QStringLiteral("No Configurations Available"),
        QStringLiteral("You need to create at least one configuration before adding watchers."),
        goToConfigurations));
    m_body->addWidget(emptyState(QStringLiteral("folder.badge.plus"),
                                 QStringLiteral("No Watchers Created"),
                                 QStringLiteral("You have configurations set up. Now you can "
                                                "create watchers to monitor your project "
                                                "directories."),
                                 new AddWatcherView(core.registry(), m_configurations)));
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

WatcherDashboardView::Body WatcherDashboardView::body() const
{
    return Body(m_body->currentIndex());
}

void WatcherDashboardView::chooseBody()
{
    const Body body = m_configurations.configs().isEmpty() ? Body::noConfigurations
                      : m_model->rowCount() == 0           ? Body::noWatchers
                                                           : Body::table;
    m_body->setCurrentIndex(int(body));
}
