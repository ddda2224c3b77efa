// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/SprucerApp.h"

#include "core/services/CoreServices.h"
#include "core/support/NotificationCenter.h"
#include "gui/shell/AppDelegate.h"
#include "gui/shell/MainWindow.h"
#include "gui/shell/OnBoardingCardView.h"
#include "gui/shell/StatusBarView.h"
#include "gui/shell/StatusBarViewModel.h"
#include "gui/shell/WindowManager.h"
#include "gui/support/FileOpener.h"
#include "gui/support/ShellNotifications.h"
#include "gui/support/SymbolIcons.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>

namespace {

// Runs `then` once, on the turn after the window's first paint.
class AfterFirstPaint : public QObject
{
public:
    AfterFirstPaint(QWidget *window, std::function<void()> then)
        : QObject(window)
        , m_then(std::move(then))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, parent(), m_then);
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> m_then;
};

} // namespace

SprucerApp::SprucerApp(CoreServices &core, PlatformServices platform, QObject *parent)
    : QObject(parent)
    , m_core(core)
    , m_platform(std::move(platform))
    , m_delegate(std::make_unique<AppDelegate>(core.notifications(), core.settings()))
    , m_fileOpener(std::make_unique<DesktopFileOpener>(&core.settings()))
    , m_windowManager(std::make_unique<WindowManager>(*m_delegate, core))
{
    QApplication::setWindowIcon(SymbolIcons::applicationIcon());
    FileOpener::install(m_fileOpener.get());
    connect(&core.notifications(), &NotificationCenter::posted, this,
            [this](const QString &name, const QVariantMap &, const QVariant &object) {
                if (name != ShellNotifications::activeStateChanged ||
                    object.typeId() != QMetaType::Bool) {
                    return;
                }
                m_isActive = object.toBool();
                m_core.registry().setGlobalActivation(m_isActive);
            });
}

SprucerApp::~SprucerApp()
{
    FileOpener::install(nullptr);
}

StatusBarView &SprucerApp::popover()
{
    if (!m_popover) {
        m_statusModel = std::make_unique<StatusBarViewModel>(m_core.registry(), m_core.health());
        m_popover = std::make_unique<StatusBarView>(
            *m_statusModel, [this] { m_windowManager->openWindow(); },
            [this] { m_delegate->quit(); });
    }
    return *m_popover;
}

void SprucerApp::launch()
{
    m_delegate->applicationDidFinishLaunching(m_platform);
    // With a tray icon, Sprucer keeps running when its last window closes.
    QApplication::setQuitOnLastWindowClosed(m_delegate->statusItem() == nullptr);
    watchHealth();
    m_mainWindow = std::make_unique<MainWindow>(*m_delegate, m_core);
    m_delegate->setMainWindow(m_mainWindow.get());
    connect(m_delegate.get(), &AppDelegate::statusItemClicked, this, [this] {
        popover().toggleNear(m_delegate->statusItem() ? m_delegate->statusItem()->geometry()
                                                      : QRect());
    });
    m_mainWindow->show();
    // The formatters' checks of the configurations wait for the window to be on the screen.
    new AfterFirstPaint(m_mainWindow.get(), [health = &m_core.health()] { health->startChecks(); });
    showOnBoardingIfNeeded();
}

// Problems reach the user where they look: the tray's icon while any lasts, and one desktop
// notification the first time a watcher meets one.
void SprucerApp::watchHealth()
{
    WatcherHealth &health = m_core.health();
    m_delegate->setNeedsAttention(health.needsAttention());
    connect(&health, &WatcherHealth::attentionChanged, m_delegate.get(),
            &AppDelegate::setNeedsAttention);
    connect(&health, &WatcherHealth::problemAppeared, m_delegate.get(),
            [this](const QString &name, const WatcherStatus &status) {
                m_delegate->notify(QStringLiteral("“%1”: ").arg(name) + status.shortText(),
                                   status.description());
            });
}

void SprucerApp::hideForQuit()
{
    if (QSystemTrayIcon *tray = m_delegate->statusItem())
        tray->hide();
    for (QWidget *window : QApplication::topLevelWidgets())
        window->hide();
    QCoreApplication::processEvents(); // sends the hiding to the display now
}

void SprucerApp::showOnBoardingIfNeeded()
{
    if (!OnBoardingCardView::shouldBeOnBoard(m_core.settings()))
        return;
    m_onBoarding = new OnBoardingCardView(m_core.settings(), m_mainWindow.get());
    m_onBoarding->setAttribute(Qt::WA_DeleteOnClose);
    m_onBoarding->open();
}
