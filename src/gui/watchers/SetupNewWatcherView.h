// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QUrl>

class ConfigManagerFactory;
class MonitorRegistry;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The sheet that makes a watcher of the chosen folder: its name and configuration. "Add" waits
// for both, and a line says what is still missing; a watcher the registry refuses leaves the
// sheet open with the reason in red.
class SetupNewWatcherView : public QDialog
{
    Q_OBJECT

public:
    SetupNewWatcherView(const QUrl &chosenUrl, MonitorRegistry &registry,
                        ConfigManagerFactory &configurations, QWidget *parent = nullptr);

    QLineEdit *nameField() const { return m_name; }
    QComboBox *configurationPicker() const { return m_configuration; }
    QPushButton *addButton() const { return m_add; }
    QCheckBox *changedLinesSwitch() const { return m_changedLines; }
    QCheckBox *gitignoreSwitch() const { return m_gitignore; }
    QLabel *errorLine() const { return m_error; }
    QLabel *missingLine() const { return m_missing; }
    // Names the watchers whose folders lie in or around the chosen one; hidden when none do.
    QLabel *nestingLine() const { return m_nesting; }

private:
    void add();
    void updateAddButton();

    QUrl m_chosenUrl;
    MonitorRegistry &m_registry;
    ConfigManagerFactory &m_configurations;
    QLineEdit *m_name;
    QComboBox *m_configuration;
    QCheckBox *m_changedLines;
    QCheckBox *m_gitignore;
    QLabel *m_missing;
    QLabel *m_nesting;
    QLabel *m_error;
    QPushButton *m_add;
};
