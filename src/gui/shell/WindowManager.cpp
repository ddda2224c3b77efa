// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/WindowManager.h"

#include "gui/shell/MainWindow.h"

#include <QGuiApplication>
#include <QScreen>

WindowManager::WindowManager(AppDelegate &delegate, CoreServices &core, QObject *parent)
    : QObject(parent)
    , m_delegate(delegate)
    , m_core(core)
{}

WindowManager::~WindowManager() = default;

void WindowManager::openWindow()
{
    if (!m_window) {
        m_window = std::make_unique<MainWindow>(m_delegate, m_core);
        m_window->resize(800, 600);
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            m_window->move(screen->availableGeometry().center() - m_window->rect().center());
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
