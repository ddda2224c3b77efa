// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QScrollArea>

class ConfigCard;
class ConfigManagerFactory;
class DependencyChecker;
class DependencyStatusViewModel;
class MonitorRegistry;
class QGridLayout;

// The "Configurations" screen: a card per language, in a grid whose columns (at least 300
// wide) follow the window. The tools are checked again each time the screen comes into view.
class ConfigurationDashboardView : public QScrollArea
{
    Q_OBJECT

public:
    static constexpr int minimumColumnWidth = 300;

    ConfigurationDashboardView(ConfigManagerFactory &store, MonitorRegistry &registry,
                               QWidget *parent = nullptr);
    // Tests hand in a checker that looks in their own folders.
    ConfigurationDashboardView(ConfigManagerFactory &store, MonitorRegistry &registry,
                               const DependencyChecker &checker, QWidget *parent = nullptr);
    ~ConfigurationDashboardView() override;

    const QList<ConfigCard *> &cards() const { return m_cards; }
    int columnCount() const { return m_columns; }

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void makeCards(ConfigManagerFactory &store, MonitorRegistry &registry);
    void showToolStatus();
    void reflow();

    DependencyStatusViewModel *m_dependencyStatus;
    QGridLayout *m_grid;
    QList<ConfigCard *> m_cards;
    int m_columns = 0;
};
