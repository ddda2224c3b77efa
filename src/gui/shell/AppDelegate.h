// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/services/PlatformServices.h"

#include <QObject>
#include <QPointer>

class NotificationCenter;
class UserDefaults;
class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

// The application's process-wide shell: the global activation switch, the "Sprucer" menu (in
// the main window's menu bar and in the tray icon's menu, since many tray hosts show only a
// menu), the tray icon and the login item. Main thread.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    // Whether Sprucer starts at login ("Start Sprucer when I log in"); on unless turned off.
    static inline const QString startAtLoginKey = QStringLiteral("startAtLogin");

    AppDelegate(NotificationCenter &notifications, UserDefaults &settings,
                QObject *parent = nullptr);
    ~AppDelegate() override;

    // Registers the login item unless the user turned it off (printing the outcome), then makes
    // the tray icon when the desktop has a tray.
    void applicationDidFinishLaunching(const PlatformServices &platform);

    bool startsAtLogin() const;
    // Stores the choice and writes or removes the login item now.
    Result<void> setStartsAtLogin(bool starts);
    // While a watcher meant to run has a problem, the tray icon carries a warning.
    void setNeedsAttention(bool needed);
    // A desktop notification, where the desktop has a service for them.
    void notify(const QString &summary, const QString &body) const;

    bool isActive() const { return m_isActive; }
    // A new "Sprucer" menu over the shared actions, owned by `parent`.
    QMenu *makeMenu(QWidget *parent) const;
    QAction *activationAction() const { return m_activation; }
    QAction *showMainWindowAction() const { return m_showMainWindow; }
    QAction *quitAction() const { return m_quit; }
    QAction *aboutAction() const { return m_about; }
    QSystemTrayIcon *statusItem() const { return m_statusItem; }

    void setMainWindow(QWidget *window) { m_mainWindow = window; }
    QWidget *mainWindow() const { return m_mainWindow; }

    // Quit, from the menu, Ctrl+Q, the tray's menu or the popover, is under way: no window
    // keeps the program running by hiding to the tray.
    bool isQuitting() const { return m_quitting; }
    // Once per user: closing the window leaves Sprucer in the tray, and this says how to quit.
    void explainTrayOnce();

public Q_SLOTS:
    void toggleActive();
    void showMainWindow();
    // Ends the event loop, after which the program stops as on SIGTERM.
    void quit();

Q_SIGNALS:
    // The tray icon was clicked (not its menu).
    void statusItemClicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void makeStatusItem();
    void updateStatusIcon();
    void showAbout();

    NotificationCenter &m_notifications;
    UserDefaults &m_settings;
    PlatformServices m_platform;
    bool m_isActive = true;
    bool m_quitting = false;
    bool m_needsAttention = false;
    QAction *m_activation;
    QAction *m_showMainWindow;
    QAction *m_quit;
    QAction *m_about;
    QSystemTrayIcon *m_statusItem = nullptr;
    QMenu *m_statusMenu = nullptr;
    QPointer<QWidget> m_mainWindow;
};
