// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTableView>

class CellButtonDelegate;
class ConfigManagerFactory;
class QMenu;
class RunFixersDelegate;
class CodeWatcherTableViewModel;
class MonitorRegistry;

// The watchers as a table: name, folder, "Run Fixers", language, configuration, the switch and
// "Remove". Its commands go to the registry; the rows follow the registry through the model.
class CodeWatcherTable : public QTableView
{
    Q_OBJECT

public:
    CodeWatcherTable(CodeWatcherTableViewModel &model, MonitorRegistry &registry,
                     ConfigManagerFactory &configurations, QWidget *parent = nullptr);

    // The menu of the row's language's configurations that its "Config Name" cell opens, the
    // watcher's own checked; choosing one gives it to the watcher. Null for a row that cannot
    // change (one not restored). Deleted when closed.
    QMenu *configurationMenu(const QModelIndex &index);
    // The row's menu: the watcher's git switches ("Only Lines I Changed", "Skip Files Git
    // Ignores"). Null for a row that cannot change. Deleted when closed.
    QMenu *rowMenu(const QModelIndex &index);

    RunFixersDelegate *runFixersButtons() const { return m_runFixers; }
    CellButtonDelegate *languageButtons() const { return m_language; }
    CellButtonDelegate *switches() const { return m_switches; }
    CellButtonDelegate *removeButtons() const { return m_remove; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    // Space or Return on a control's cell presses it.
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void paintFocusMark();
    void runFixers(const QModelIndex &index);
    void logConfigurationFile(const QModelIndex &index);
    void toggle(const QModelIndex &index);
    void remove(const QModelIndex &index);
    void openConfigurationMenu(const QModelIndex &index);

    CodeWatcherTableViewModel &m_model;
    MonitorRegistry &m_registry;
    ConfigManagerFactory &m_configurations;
    RunFixersDelegate *m_runFixers;
    CellButtonDelegate *m_language;
    CellButtonDelegate *m_switches;
    CellButtonDelegate *m_remove;
};
