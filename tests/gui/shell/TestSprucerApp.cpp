// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/NotificationCenter.h"
#include "core/support/SprucerLogger.h"
#include "core/support/UserDefaults.h"
#include "core/watching/WatcherListStore.h"
#include "gui/configurations/ConfigurationDashboardView.h"
#include "gui/shell/AppDelegate.h"
#include "gui/shell/MainView.h"
#include "gui/shell/MainWindow.h"
#include "gui/shell/SprucerApp.h"
#include "gui/shell/StatusBarView.h"
#include "gui/shell/WindowManager.h"
#include "gui/support/ShellNotifications.h"
#include "gui/watchers/CodeWatcherTable.h"
#include "support/AnsweringDialogs.h"
#include "support/CoreFixture.h"
#include "support/GuiTestMain.h"
#include "support/LogFile.h"
#include "support/StandInTool.h"
#include "support/UnnamedControls.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QListView>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

QStringList sidebarEntries(const MainView &view)
{
    QStringList labels;
    const QAbstractItemModel *model = view.sidebar()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        labels << model->index(row, 0).data().toString();
    return labels;
}

QStringList menuTitles(const QMenu *menu)
{
    QStringList titles;
    for (const QAction *action : menu->actions())
        titles << (action->isSeparator() ? u"-"_s : action->text());
    return titles;
}

const QMenu *sprucerMenu(const MainWindow &window)
{
    return window.menuBar()->actions().value(0)->menu();
}

} // namespace

class TestSprucerApp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    // What a new user meets: the window, the menu, the watchers screen, and the onboarding
    // sheet, which stays away once dismissed however that happened.
    void firstLaunchShowsTheWindowAndOnboardingOnce()
    {
        CoreFixture fixture;
        {
            SprucerApp app(fixture.core(), PlatformServices{});
            app.launch();
            const MainWindow &window = *app.mainWindow();
            QCOMPARE(window.windowTitle(), u"Sprucer"_s);
            QVERIFY(window.minimumWidth() >= 800 && window.minimumHeight() >= 600);
            QCOMPARE(sidebarEntries(*window.mainView()),
                     (QStringList{u"Watchers"_s, u"TODO"_s, u"Configurations"_s, u"Statistics"_s,
                                  u"History"_s}));
            QCOMPARE(window.mainView()->currentEntry(), MainView::Entry::watchers);
            // The window's own commands too, each reachable from the keyboard.
            QCOMPARE(
                menuTitles(sprucerMenu(window)),
                (QStringList{u"Deactivate"_s, u"-"_s, u"Show Main Window"_s, u"-"_s, u"Settings"_s,
                             u"Toggle Sidebar"_s, u"Export log…"_s, u"-"_s, u"Quit"_s}));
            QCOMPARE(app.delegate().quitAction()->shortcut(), QKeySequence(u"Ctrl+Q"_s));
            QCOMPARE(window.settingsAction()->shortcut(), QKeySequence(u"Ctrl+,"_s));
            QVERIFY(!window.toggleSidebarAction()->shortcut().isEmpty());
            QVERIFY(!window.exportLogAction()->shortcut().isEmpty());
            QTRY_VERIFY(app.onBoardingSheet() && app.onBoardingSheet()->isVisible());
            app.onBoardingSheet()->reject(); // Esc, not "Got it!"
            QCOMPARE(TestHome::settings().value(u"shouldBeOnBoard"_s).toBool(), false);
        }
        SprucerApp again(fixture.core(), PlatformServices{});
        again.launch();
        QVERIFY(!again.onBoardingSheet());
    }

    // The menu's switch stops and restarts every watcher and says which way it went.
    void theActivationSwitchReachesTheRegistry()
    {
        CoreFixture fixture;
        const CodeWatcherModel watcher =
            fixture.makeWatcher(fixture.makeProject(u"app"_s), SupportedFileExtension::cpp, true);
        QVERIFY(fixture.registry().addWatcher(watcher));
        SprucerApp app(fixture.core(), PlatformServices{});
        app.launch();
        QAction *activation = app.delegate().activationAction();
        fixture.clearSentSignals();

        activation->trigger();
        QCOMPARE(activation->text(), u"Activate"_s);
        QTRY_VERIFY(!fixture.registry().entry(watcher.id)->monitor->isRunning());
        QVERIFY(!app.isActive());
        activation->trigger();
        QCOMPARE(activation->text(), u"Deactivate"_s);
        QTRY_VERIFY(fixture.registry().entry(watcher.id)->monitor->isRunning());
        QCOMPARE(fixture.sentSignals().filter(u"AppActivationChanged"_s),
                 (QStringList{u"AppActivationChanged:Active=false"_s,
                              u"AppActivationChanged:Active=true"_s}));
    }

    void otherScreensAndTheSettingsSheetCanBeReached()
    {
        CoreFixture fixture;
        TestHome::settings().setValue(u"shouldBeOnBoard"_s, false);
        SprucerApp app(fixture.core(), PlatformServices{});
        app.launch();
        MainWindow &window = *app.mainWindow();
        // Screens not shown yet are not built yet: the window opens without them.
        QVERIFY(!window.findChild<ConfigurationDashboardView *>());
        fixture.core().notifications().post(ShellNotifications::switchToConfigurationsTab);
        QTRY_COMPARE(window.mainView()->currentEntry(), MainView::Entry::configurations);
        QVERIFY(window.findChild<ConfigurationDashboardView *>()->isVisible());

        // Dismissed, the sheet opens again on the next press.
        for (int press = 0; press < 2; ++press) {
            window.settingsAction()->trigger();
            QTRY_VERIFY(window.settingsSheet() && window.settingsSheet()->isVisible());
            window.settingsSheet()->accept();
            QTRY_VERIFY(!window.settingsSheet());
        }
    }

    // The window opens where and as the user left it: size, sidebar and screen.
    void theWindowOpensAsItWasLeft()
    {
        CoreFixture fixture;
        TestHome::settings().setValue(OnBoardingCardView::shouldBeOnBoardKey, false);
        {
            SprucerApp app(fixture.core(), PlatformServices{});
            app.launch();
            MainWindow &window = *app.mainWindow();
            window.resize(900, 650);
            window.mainView()->select(MainView::Entry::statistics);
            window.mainView()->toggleSidebar(); // the action acts on the active window only
            QVERIFY(!window.mainView()->sidebarShown());
            window.hide();
        }
        SprucerApp again(fixture.core(), PlatformServices{});
        again.launch();
        const MainWindow &window = *again.mainWindow();
        QCOMPARE(window.size(), QSize(900, 650));
        QCOMPARE(window.mainView()->currentEntry(), MainView::Entry::statistics);
        QVERIFY(!window.mainView()->sidebarShown());
    }

    // In the smallest window every column of the watchers table is on screen, no scrolling.
    void theSmallestWindowShowsEveryColumn()
    {
        CoreFixture fixture;
        QVERIFY(fixture.registry().addWatcher(
            fixture.makeWatcher(fixture.makeProject(u"small"_s), SupportedFileExtension::cpp)));
        TestHome::settings().setValue(OnBoardingCardView::shouldBeOnBoardKey, false);
        SprucerApp app(fixture.core(), PlatformServices{});
        app.launch();
        MainWindow &window = *app.mainWindow();
        window.resize(window.minimumSize());
        const auto *table = window.findChild<CodeWatcherTable *>();
        QVERIFY(table);
        const QHeaderView *header = table->horizontalHeader();
        const int last = header->count() - 1;
        QTRY_VERIFY(header->sectionViewportPosition(last) + header->sectionSize(last) <=
                    table->viewport()->width());
        QTRY_COMPARE(table->horizontalScrollBar()->maximum(), 0);
    }

    void everyControlHasAName()
    {
        CoreFixture fixture;
        QVERIFY(fixture.registry().addWatcher(
            fixture.makeWatcher(fixture.makeProject(u"named"_s), SupportedFileExtension::cpp)));
        SprucerApp app(fixture.core(), PlatformServices{});
        app.launch();
        QTRY_VERIFY(app.onBoardingSheet() && app.onBoardingSheet()->isVisible());
        app.popover().show();
        QCOMPARE(unnamedControls(), QStringList());
        app.onBoardingSheet()->reject();
        app.mainWindow()->settingsAction()->trigger();
        QTRY_VERIFY(app.mainWindow()->settingsSheet());
        QCOMPARE(unnamedControls(), QStringList());
    }

    // The popover lists the watchers as they change anywhere, and "Open App" shows one window.
    void thePopoverFollowsTheRegistryAndOpensOneWindow()
    {
        CoreFixture fixture;
        QTemporaryDir tools;
        WatcherHealth::Options installed;
        installed.resolver = ToolResolver({tools.path()}, false);
        installed.judge = [](SupportedFileExtension, const QString &) {
            return ConfigurationCheckResult{};
        };
        StandInTool::write(tools.path(), u"swiftlint"_s, QString());
        fixture.useHealth(installed);
        TestHome::settings().setValue(u"shouldBeOnBoard"_s, false);
        SprucerApp app(fixture.core(), PlatformServices{});
        app.launch();
        const QAbstractItemModel &list = *app.popover().list()->model();
        QCOMPARE(list.rowCount(), 0);

        const CodeWatcherModel watcher = fixture.makeWatcher(fixture.makeProject(u"shop"_s),
                                                             SupportedFileExtension::swift, true);
        QVERIFY(fixture.registry().addWatcher(watcher));
        QTRY_COMPARE(list.rowCount(), 1);
        QCOMPARE(list.index(0, 0).data(Qt::AccessibleTextRole).toString(), u"shop, Running"_s);
        QCOMPARE(list.index(0, 0).data().toString(), u"shop"_s);
        QVERIFY(fixture.registry().stopWatcher(watcher));
        QTRY_COMPARE(list.index(0, 0).data(Qt::AccessibleTextRole).toString(),
                     u"shop, Switched off"_s);
        QCOMPARE(list.index(0, 0).data().toString(), u"shop — Switched off"_s);

        app.popover().openAppButton()->click();
        MainWindow *opened = app.windowManager().window();
        QVERIFY(opened && opened->isVisible() && opened != app.mainWindow());
        opened->close();
        app.popover().openAppButton()->click();
        QCOMPARE(app.windowManager().window(), opened);
        QVERIFY(opened->isVisible());
    }

    // A stored watcher that could not be restored is listed too, with the reason.
    void thePopoverListsWatchersThatCouldNotBeRestored()
    {
        CoreFixture fixture;
        const QString gone = fixture.makeProject(u"unplugged"_s);
        const CodeWatcherModel watcher =
            fixture.makeWatcher(gone, SupportedFileExtension::cpp, true);
        WatcherListStore(TestHome::settings()).save({watcher});
        QVERIFY(QDir(gone).removeRecursively());
        TestHome::settings().setValue(u"shouldBeOnBoard"_s, false);
        SprucerApp app(fixture.core(), PlatformServices{});
        app.launch();
        const QAbstractItemModel &list = *app.popover().list()->model();
        QTRY_COMPARE(list.rowCount(), 1);
        QVERIFY(list.index(0, 0).data().toString().startsWith(u"unplugged — "_s));
        QVERIFY(list.index(0, 0).data(Qt::ToolTipRole).toString().startsWith(u"Not watched: "_s));
    }

    // Turned off in the settings, the login item goes and later launches leave it alone;
    // turned on again, it is written again.
    void startingAtLoginFollowsTheSettings()
    {
        CoreFixture fixture;
        TestHome::settings().setValue(u"shouldBeOnBoard"_s, false);
        QStringList calls;
        PlatformServices platform;
        platform.registerLoginItem = [&calls] {
            calls << u"register"_s;
            return Result<void>();
        };
        platform.unregisterLoginItem = [&calls] {
            calls << u"unregister"_s;
            return Result<void>();
        };
        {
            SprucerApp app(fixture.core(), platform);
            app.launch();
            QCOMPARE(calls, QStringList{u"register"_s});
            app.mainWindow()->showSettings();
            QCheckBox *startAtLogin = app.mainWindow()->settingsSheet()->startAtLoginSwitch();
            QVERIFY(startAtLogin->isChecked());
            startAtLogin->click();
            QCOMPARE(calls, (QStringList{u"register"_s, u"unregister"_s}));
        }
        calls.clear();
        SprucerApp again(fixture.core(), platform);
        again.launch();
        QVERIFY(calls.isEmpty());
        again.mainWindow()->showSettings();
        QCheckBox *startAtLogin = again.mainWindow()->settingsSheet()->startAtLoginSwitch();
        QVERIFY(!startAtLogin->isChecked());
        startAtLogin->click();
        // Whatever the desktop's settings made of the entry, it is written anew.
        QCOMPARE(calls, (QStringList{u"unregister"_s, u"register"_s}));
    }

    // A watcher meant to run that meets a problem is told on the desktop once, whatever follows.
    void aNewProblemIsNotifiedOnce()
    {
        CoreFixture fixture;
        WatcherHealth::Options health;
        health.judge = [](SupportedFileExtension, const QString &) {
            return ConfigurationCheckResult{};
        };
        fixture.useHealth(health);
        TestHome::settings().setValue(u"shouldBeOnBoard"_s, false);
        const QString project = fixture.makeProject(u"shop"_s);
        QVERIFY(fixture.registry().addWatcher(
            fixture.makeWatcher(project, SupportedFileExtension::cpp, true)));
        QStringList notified;
        PlatformServices platform;
        platform.notify = [&notified](const QString &summary, const QString &body) {
            notified << summary + u'|' + body;
        };
        SprucerApp app(fixture.core(), platform);
        app.launch();

        QVERIFY(QDir(project).removeRecursively());
        QTRY_COMPARE(notified.size(), 1);
        QVERIFY(notified[0].startsWith(u"“shop”: Folder missing|Folder missing: "_s));
        QVERIFY(QDir().mkpath(project));
        QTRY_COMPARE(
            fixture.core().health().status(fixture.registry().monitors().value(0).watcher.id).state,
            WatcherStatus::State::running);
        QVERIFY(QDir(project).removeRecursively());
        QTRY_VERIFY(fixture.core().health().needsAttention());
        QCOMPARE(notified.size(), 1);
    }

    // The export writes every outcome to the log and never replaces a file.
    void exportingTheLogNeverReplacesAFile()
    {
        CoreFixture fixture;
        TestHome::settings().setValue(u"shouldBeOnBoard"_s, false);
        SprucerApp app(fixture.core(), PlatformServices{});
        app.launch();
        AnsweringDialogs dialogs;
        QTemporaryDir destination;
        dialogs.savePath = destination.filePath(u"exported.log"_s);
        SprucerLogger::shared().log(u"something worth keeping"_s);

        app.popover().exportLogButton()->click();
        QVERIFY(LogFile::messages().contains(u"✅ Logs exported to: "_s + dialogs.savePath));
        // The user is told where it went, and when it did not go, why.
        QCOMPARE(dialogs.asked,
                 (QStringList{u"Export Logs:sprucer.log"_s,
                              u"Log exported:The log was saved to "_s + dialogs.savePath + u'.'}));
        app.popover().exportLogButton()->click(); // the same place again: refused, not replaced
        QVERIFY(!LogFile::messages().filter(u"❌ Failed to export logs: "_s).isEmpty());
        QCOMPARE(dialogs.asked.last(),
                 u"Log not exported:A file named \"exported.log\" already exists."_s);
        QFile exported(dialogs.savePath);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        QVERIFY(!exported.readAll().contains("Logs exported to"));
    }
};

SPRUCER_GUI_TEST_MAIN(TestSprucerApp)
#include "TestSprucerApp.moc"
