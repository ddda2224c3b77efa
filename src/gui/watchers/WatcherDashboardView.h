// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <array>

class AddWatcherView;
class CodeWatcherTable;
class CodeWatcherTableViewModel;
class ConfigManagerFactory;
class CoreServices;
class QStackedWidget;

// The watchers screen: "Active Watchers" with "Add new watcher", and below it the table, or
// what to do first when there is no configuration or no watcher yet.
class WatcherDashboardView : public QWidget
{
    Q_OBJECT

public:
    enum class Body
    {
        noConfigurations,
        noWatchers,
        table
    };

    explicit WatcherDashboardView(CoreServices &core, QWidget *parent = nullptr);
    ~WatcherDashboardView() override;

    Body body() const;
    AddWatcherView *addWatcher() const { return m_addWatcher; }
    CodeWatcherTable *table() const { return m_table; }
    CodeWatcherTableViewModel &model() const { return *m_model; }

private:
    void chooseBody();
    QWidget *makeEmptyState(Body body);

    CoreServices &m_core;
    ConfigManagerFactory &m_configurations;
    CodeWatcherTableViewModel *m_model;
    AddWatcherView *m_addWatcher;
    CodeWatcherTable *m_table;
    QStackedWidget *m_body;
    std::array<bool, 2> m_emptyStateMade{}; // by body: the two empty states
};
