// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/services/PlatformServices.h"
#include "gui/shell/OnBoardingCardView.h"

#include <QObject>
#include <QPointer>

#include <memory>

class AppDelegate;
class CoreServices;
class DesktopFileOpener;
class MainWindow;
class StatusBarView;
class StatusBarViewModel;
class WindowManager;

// The desktop application: the shell (menu, tray, login item), the main window and the sheets
// over it, and the link from the global activation switch to the registry. The analytics
// client must be started before it is made, so that every signal finds it running.
class SprucerApp : public QObject
{
    Q_OBJECT

public:
    SprucerApp(CoreServices &core, PlatformServices platform, QObject *parent = nullptr);
    ~SprucerApp() override;

    // Runs the launch set-up and shows the main window, with the onboarding sheet over it
    // until the user has seen it once.
    void launch();
    // The event loop is over: the windows and the tray icon go before the tools under way are
    // given their last seconds.
    void hideForQuit();

    AppDelegate &delegate() { return *m_delegate; }
    MainWindow *mainWindow() const { return m_mainWindow.get(); }
    OnBoardingCardView *onBoardingSheet() const { return m_onBoarding; }
    // Made on first use: most starts never open it.
    StatusBarView &popover();
    WindowManager &windowManager() const { return *m_windowManager; }
    bool isActive() const { return m_isActive; }

private:
    void watchHealth();
    void showOnBoardingIfNeeded();

    CoreServices &m_core;
    PlatformServices m_platform;
    std::unique_ptr<AppDelegate> m_delegate;
    std::unique_ptr<DesktopFileOpener> m_fileOpener;
    std::unique_ptr<MainWindow> m_mainWindow;
    std::unique_ptr<WindowManager> m_windowManager;
    std::unique_ptr<StatusBarViewModel> m_statusModel;
    std::unique_ptr<StatusBarView> m_popover;
    QPointer<OnBoardingCardView> m_onBoarding;
    bool m_isActive = true;
};
