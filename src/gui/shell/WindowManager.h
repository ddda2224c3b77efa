// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <memory>

class AppDelegate;
class MainWindow;
class CoreServices;

// The free-standing main window that "Open App" in the tray popover shows: made on the first
// request and shown again, never a second one.
class WindowManager : public QObject
{
    Q_OBJECT

public:
    WindowManager(AppDelegate &delegate, CoreServices &core, QObject *parent = nullptr);
    ~WindowManager() override;

    void openWindow();
    MainWindow *window() const { return m_window.get(); }

private:
    AppDelegate &m_delegate;
    CoreServices &m_core;
    std::unique_ptr<MainWindow> m_window;
};
