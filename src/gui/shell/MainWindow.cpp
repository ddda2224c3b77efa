// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/MainWindow.h"

#include "core/history/FixJournal.h"
#include "core/services/CoreServices.h"
#include "gui/configurations/ConfigurationDashboardView.h"
#include "gui/history/HistoryView.h"
#include "gui/markups/MarkupsView.h"
#include "gui/shell/AppDelegate.h"
#include "gui/shell/LogExport.h"
#include "gui/shell/MainView.h"
#include "gui/shell/SettingsView.h"
#include "gui/statistics/StatisticsView.h"
#include "gui/support/SymbolIcons.h"
#include "gui/watchers/WatcherDashboardView.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QSystemTrayIcon>
#include <QToolBar>

MainWindow::MainWindow(AppDelegate &delegate, CoreServices &core, QWidget *parent)
    : QMainWindow(parent)
    , m_delegate(delegate)
    , m_userDefaults(core.settings())
    , m_health(core.health())
    , m_journal(core.journal())
    , m_mainView(new MainView(core.notifications()))
{
    m_mainView->setScreen(MainView::Entry::watchers, new WatcherDashboardView(core));
    m_mainView->setScreenFactory(MainView::Entry::todo, [&core] {
        return new MarkupsView(core.registry(), core.markups());
    });
    m_mainView->setScreenFactory(MainView::Entry::configurations, [&core] {
        return new ConfigurationDashboardView(core.configurations(), core.registry());
    });
    m_mainView->setScreenFactory(MainView::Entry::statistics,
                                 [&core] { return new StatisticsView(core.statistics()); });
    m_mainView->setScreenFactory(MainView::Entry::history,
                                 [&core] { return new HistoryView(core.journal(), core.undo()); });
    setWindowTitle(QStringLiteral("Sprucer"));
    setMinimumSize(800, 600);
    resize(1200, 760); // room for every column of the watcher table

    setCentralWidget(m_mainView);
    makeToolBar();
    makeMenus();
    restorePlace();
}

void MainWindow::restorePlace()
{
    const QByteArray geometry = m_userDefaults.value(geometryKey).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    if (m_userDefaults.contains(sidebarKey))
        m_mainView->setSidebarShown(m_userDefaults.value(sidebarKey).toBool());
    bool known = false;
    const int screen = m_userDefaults.value(screenKey).toInt(&known);
    if (known && screen >= int(MainView::Entry::watchers) &&
        screen <= int(MainView::Entry::history))
        m_mainView->select(MainView::Entry(screen));
}

// Hidden, whether to the tray or at quit: the place is kept as the user left it.
void MainWindow::keepPlace()
{
    m_userDefaults.setValue(geometryKey, saveGeometry());
    m_userDefaults.setValue(sidebarKey, m_mainView->sidebarShown());
    m_userDefaults.setValue(screenKey, int(m_mainView->currentEntry()));
}

void MainWindow::hideEvent(QHideEvent *event)
{
    keepPlace();
    QMainWindow::hideEvent(event);
}

// The window's own commands join the "Sprucer" menu, before Quit, each with its shortcut, so
// the keyboard reaches every one of them.
void MainWindow::makeMenus()
{
    m_settingsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    m_toggleSidebar->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S));
    m_exportLog = new QAction(QStringLiteral("Export log…"), this);
    m_exportLog->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    connect(m_exportLog, &QAction::triggered, this, [this] { LogExport::exportLogs(this); });

    QMenu *application = m_delegate.makeMenu(this);
    QAction *quit = m_delegate.quitAction();
    application->insertActions(quit, {m_settingsAction, m_toggleSidebar, m_exportLog});
    application->insertSeparator(quit);
    menuBar()->addMenu(application);
    QMenu *help = menuBar()->addMenu(QStringLiteral("Help"));
    help->addAction(m_delegate.aboutAction());
}

void MainWindow::makeToolBar()
{
    QToolBar *toolBar = addToolBar(QStringLiteral("Toolbar"));
    toolBar->setObjectName(QStringLiteral("toolbar"));
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->setIconSize(QSize(18, 18));
    toolBar->toggleViewAction()->setEnabled(false);

    m_toggleSidebar = toolBar->addAction(SymbolIcons::icon(QStringLiteral("sidebar.left")),
                                         QStringLiteral("Toggle Sidebar"));
    connect(m_toggleSidebar, &QAction::triggered, this, [this] {
        // As the platform's own sidebar command: it acts on the window the user is in.
        if (isActiveWindow())
            m_mainView->toggleSidebar();
    });
    auto *spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolBar->addWidget(spacer);
    m_settingsAction =
        toolBar->addAction(SymbolIcons::icon(QStringLiteral("gear")), QStringLiteral("Settings"));
    connect(m_settingsAction, &QAction::triggered, this, &MainWindow::showSettings);
}

void MainWindow::showSettings()
{
    if (m_settings)
        return;
    m_settings = new SettingsView(
        m_userDefaults, m_delegate.startsAtLogin(),
        [delegate = &m_delegate](bool starts) { return delegate->setStartsAtLogin(starts); }, this);
    m_settings->showHistorySettings(m_journal);
    m_settings->setAttribute(Qt::WA_DeleteOnClose);
    m_settings->open();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // With a tray icon the agent lives on there; without one, this window is all there is.
    if (!m_delegate.isQuitting() && m_delegate.statusItem() &&
        m_delegate.statusItem()->isVisible()) {
        hide();
        event->ignore();
        m_delegate.explainTrayOnce();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::changeEvent(QEvent *event)
{
    // Back in the window, the user sees each watcher as it is now: a tool installed, a folder
    // unplugged meanwhile. Nothing polls while nobody looks.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_health.refresh();
    QMainWindow::changeEvent(event);
}
