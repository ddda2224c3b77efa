// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/watchers/SetupNewWatcherView.h"

#include <QPointer>
#include <QWidget>

class ConfigManagerFactory;
class MonitorRegistry;

// "Add new watcher": picks a folder, then opens the sheet that makes its watcher.
class AddWatcherView : public QWidget
{
    Q_OBJECT

public:
    AddWatcherView(MonitorRegistry &registry, ConfigManagerFactory &configurations,
                   QWidget *parent = nullptr);

    void chooseFolder();
    SetupNewWatcherView *sheet() const { return m_sheet; }

private:
    void openSheet(const QString &folder);

    MonitorRegistry &m_registry;
    ConfigManagerFactory &m_configurations;
    QPointer<SetupNewWatcherView> m_sheet;
};
