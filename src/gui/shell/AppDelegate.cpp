// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/AppDelegate.h"

#include "core/support/NotificationCenter.h"
#include "core/support/UserDefaults.h"
#include "gui/support/Dialogs.h"
#include "gui/support/Palette.h"
#include "gui/support/ShellNotifications.h"
#include "gui/support/SymbolIcons.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QSystemTrayIcon>

namespace {

const QString kActiveSymbol = QStringLiteral("chevron.left.slash.chevron.right");
const QString kInactiveSymbol = QStringLiteral("chevron.left.slash.chevron.right.slash");
const QString kTrayExplainedKey = QStringLiteral("trayHintShown");

} // namespace

AppDelegate::AppDelegate(NotificationCenter &notifications, UserDefaults &settings, QObject *parent)
    : QObject(parent)
    , m_notifications(notifications)
    , m_settings(settings)
    , m_activation(new QAction(QStringLiteral("Deactivate"), this))
    , m_showMainWindow(new QAction(QStringLiteral("Show Main Window"), this))
    , m_quit(new QAction(QStringLiteral("Quit"), this))
    , m_about(new QAction(QStringLiteral("About Sprucer"), this))
{
    // Not QKeySequence::Quit: some platform themes map it to nothing.
    m_quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_quit->setShortcutContext(Qt::ApplicationShortcut);
    m_quit->setMenuRole(QAction::QuitRole);
    m_about->setMenuRole(QAction::AboutRole);
    connect(m_activation, &QAction::triggered, this, &AppDelegate::toggleActive);
    connect(m_showMainWindow, &QAction::triggered, this, &AppDelegate::showMainWindow);
    connect(m_quit, &QAction::triggered, this, &AppDelegate::quit);
    connect(m_about, &QAction::triggered, this, &AppDelegate::showAbout);
    qApp->installEventFilter(this);
}

AppDelegate::~AppDelegate()
{
    delete m_statusMenu;
}

void AppDelegate::applicationDidFinishLaunching(const PlatformServices &platform)
{
    m_platform = platform;
    if (startsAtLogin())
        registerLoginItemAndReport(platform);
    if (QSystemTrayIcon::isSystemTrayAvailable())
        makeStatusItem();
}

bool AppDelegate::startsAtLogin() const
{
    return !m_settings.contains(startAtLoginKey) || m_settings.value(startAtLoginKey).toBool();
}

Result<void> AppDelegate::setStartsAtLogin(bool starts)
{
    m_settings.setValue(startAtLoginKey, starts);
    if (!m_platform.registerLoginItem || !m_platform.unregisterLoginItem)
        return {};
    // Turned on here, it is on, even where the desktop's own settings had turned it off.
    Result<void> changed = m_platform.unregisterLoginItem();
    if (changed && starts)
        changed = m_platform.registerLoginItem();
    return changed;
}

void AppDelegate::setNeedsAttention(bool needed)
{
    if (std::exchange(m_needsAttention, needed) != needed)
        updateStatusIcon();
}

void AppDelegate::notify(const QString &summary, const QString &body) const
{
    if (m_platform.notify)
        m_platform.notify(summary, body);
}

QMenu *AppDelegate::makeMenu(QWidget *parent) const
{
    auto *menu = new QMenu(QStringLiteral("Sprucer"), parent);
    menu->addAction(m_activation);
    menu->addSeparator();
    menu->addAction(m_showMainWindow);
    menu->addSeparator();
    menu->addAction(m_quit);
    return menu;
}

void AppDelegate::makeStatusItem()
{
    m_statusItem = new QSystemTrayIcon(this);
    m_statusItem->setToolTip(QStringLiteral("Sprucer"));
    m_statusMenu = makeMenu(nullptr);
    m_statusItem->setContextMenu(m_statusMenu);
    connect(m_statusItem, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    Q_EMIT statusItemClicked();
            });
    updateStatusIcon();
    m_statusItem->show();
}

void AppDelegate::updateStatusIcon()
{
    if (!m_statusItem)
        return;
    const QIcon icon = SymbolIcons::icon(m_isActive ? kActiveSymbol : kInactiveSymbol);
    m_statusItem->setIcon(m_needsAttention
                              ? SymbolIcons::badged(icon,
                                                    QStringLiteral("exclamationmark.triangle.fill"),
                                                    Palette::orange())
                              : icon);
    m_statusItem->setToolTip(m_needsAttention ? QStringLiteral("Sprucer: a watcher needs attention")
                                              : QStringLiteral("Sprucer"));
}

void AppDelegate::toggleActive()
{
    m_isActive = !m_isActive;
    m_activation->setText(m_isActive ? QStringLiteral("Deactivate") : QStringLiteral("Activate"));
    updateStatusIcon();
    m_notifications.post(ShellNotifications::activeStateChanged, {}, m_isActive);
}

void AppDelegate::showMainWindow()
{
    if (!m_mainWindow)
        return;
    m_mainWindow->show();
    m_mainWindow->setWindowState(m_mainWindow->windowState() & ~Qt::WindowMinimized);
    m_mainWindow->raise();
    m_mainWindow->activateWindow();
}

void AppDelegate::quit()
{
    m_quitting = true;
    // Not quit(): in Qt 6 it first asks every window to close, and the main window refuses
    // while it hides to the tray, which cancels the quit.
    QCoreApplication::exit(0);
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    // A sheet blocks the shortcuts of the window under it, Quit's among them (the onboarding
    // sheet of a first launch, say); Quit must quit all the same.
    if (event->type() == QEvent::ShortcutOverride && QApplication::activeModalWidget()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (QKeySequence(key->keyCombination()) == m_quit->shortcut()) {
            quit();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::explainTrayOnce()
{
    if (!m_statusItem || m_settings.value(kTrayExplainedKey).toBool())
        return;
    m_settings.setValue(kTrayExplainedKey, true);
    m_statusItem->showMessage(QStringLiteral("Sprucer is still running"),
                              QStringLiteral("It goes on formatting your saves from the tray. To "
                                             "quit, choose Quit in the tray icon's menu, or press "
                                             "Ctrl+Q in Sprucer's window."),
                              QSystemTrayIcon::Information, 10000);
}

void AppDelegate::showAbout()
{
    Dialogs::current().about(
        m_mainWindow, QStringLiteral("About Sprucer"),
        QStringLiteral("<b>Sprucer</b> %1<p>Keeps source code formatted on every save.</p>")
            .arg(QCoreApplication::applicationVersion()));
}
