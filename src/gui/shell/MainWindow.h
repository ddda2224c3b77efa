// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/shell/SettingsView.h"

#include <QMainWindow>
#include <QPointer>

class AppDelegate;
class FixJournal;
class MainView;
class CoreServices;
class UserDefaults;
class WatcherHealth;

// A main window: the menu bar with the "Sprucer" menu, the toolbar (sidebar toggle, settings)
// and a MainView. With a tray icon, closing it only hides it: Sprucer goes on in the tray.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow(AppDelegate &delegate, CoreServices &core, QWidget *parent = nullptr);

    MainView *mainView() const { return m_mainView; }
    // The settings sheet, made anew each time it is opened.
    void showSettings();
    SettingsView *settingsSheet() const { return m_settings; }
    QAction *toggleSidebarAction() const { return m_toggleSidebar; }
    QAction *settingsAction() const { return m_settingsAction; }
    QAction *exportLogAction() const { return m_exportLog; }

    // Where the window was left, stored as the user left it and restored at the next start.
    static inline const QString geometryKey = QStringLiteral("mainWindowGeometry");
    static inline const QString sidebarKey = QStringLiteral("mainWindowSidebarShown");
    static inline const QString screenKey = QStringLiteral("mainWindowScreen");

protected:
    void closeEvent(QCloseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void makeToolBar();
    void makeMenus();
    void restorePlace();
    void keepPlace();

    AppDelegate &m_delegate;
    UserDefaults &m_userDefaults;
    WatcherHealth &m_health;
    FixJournal &m_journal;
    MainView *m_mainView;
    QAction *m_toggleSidebar = nullptr;
    QAction *m_settingsAction = nullptr;
    QAction *m_exportLog = nullptr;
    QPointer<SettingsView> m_settings;
};
