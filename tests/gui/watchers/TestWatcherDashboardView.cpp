// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ConfigManagerFactory.h"
#include "core/support/NotificationCenter.h"
#include "core/support/UserDefaults.h"
#include "core/watching/CodeWatcherTableViewModel.h"
#include "core/watching/WatcherListStore.h"
#include "gui/configurations/ConfigCard.h"
#include "gui/configurations/ConfigEditorView.h"
#include "gui/configurations/ConfigurationDashboardView.h"
#include "gui/configurations/RawXmlFormatterView.h"
#include "gui/support/ShellNotifications.h"
#include "gui/watchers/AddWatcherView.h"
#include "gui/watchers/CellButtonDelegate.h"
#include "gui/watchers/CodeWatcherTable.h"
#include "gui/watchers/RunFixersDelegate.h"
#include "gui/watchers/SetupNewWatcherView.h"
#include "gui/watchers/WatcherDashboardView.h"
#include "support/AnsweringDialogs.h"
#include "support/CoreFixture.h"
#include "support/GuiTestMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

using namespace Qt::StringLiterals;

class TestWatcherDashboardView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    // A new user is led from no configuration to a first watcher, the screen following along.
    void fromNothingToAFirstWatcher()
    {
        CoreFixture fixture;
        WatcherDashboardView view(fixture.core());
        QCOMPARE(view.body(), WatcherDashboardView::Body::noConfigurations);
        QSignalSpy switched(&fixture.core().notifications(), &NotificationCenter::posted);
        for (QPushButton *button : view.findChildren<QPushButton *>()) {
            if (button->text() == u"Go to Configurations"_s)
                button->click();
        }
        QTRY_COMPARE(switched.size(), 1);
        QCOMPARE(switched.first().first().toString(),
                 ShellNotifications::switchToConfigurationsTab);

        const QString project = fixture.makeProject(u"shop"_s);
        fixture.core().configurations().createConfig(QUuid::createUuid(), u"BasedOnStyle: LLVM\n"_s,
                                                     SupportedFileExtension::cpp, u"House style"_s);
        QTRY_COMPARE(view.body(), WatcherDashboardView::Body::noWatchers);

        AnsweringDialogs dialogs;
        dialogs.directory = project;
        view.addWatcher()->chooseFolder();
        QCOMPARE(dialogs.asked, QStringList{u"Select"_s});
        QTRY_VERIFY(view.addWatcher()->sheet() && view.addWatcher()->sheet()->isVisible());
        SetupNewWatcherView &sheet = *view.addWatcher()->sheet();
        // "Add" waits for a name and a configuration, and says which is missing.
        QVERIFY(!sheet.addButton()->isEnabled() && sheet.nestingLine()->isHidden());
        QCOMPARE(sheet.missingLine()->text(),
                 u"Type a name and choose a configuration to add the watcher."_s);
        sheet.nameField()->setText(u"Shop"_s);
        QCOMPARE(sheet.missingLine()->text(), u"Choose a configuration to add the watcher."_s);
        sheet.addButton()->click(); // disabled: nothing happens
        QVERIFY(sheet.isVisible() && fixture.registry().monitors().isEmpty());
        QCOMPARE(sheet.configurationPicker()->itemText(1), u"House style (C++)"_s);
        sheet.configurationPicker()->setCurrentIndex(1);
        sheet.nameField()->setText(u"  "_s);
        QVERIFY(!sheet.addButton()->isEnabled());
        QCOMPARE(sheet.missingLine()->text(), u"Type a name to add the watcher."_s);
        sheet.nameField()->setText(u"Shop"_s);
        QVERIFY(sheet.addButton()->isEnabled() && sheet.missingLine()->isHidden());
        // A new watcher leaves alone what git ignores unless told otherwise.
        QVERIFY(!sheet.changedLinesSwitch()->isChecked() && sheet.gitignoreSwitch()->isChecked());
        sheet.changedLinesSwitch()->setChecked(true);
        sheet.addButton()->click();

        QCOMPARE(fixture.registry().monitors().size(), 1);
        const CodeWatcherModel added = fixture.registry().monitors().first().watcher;
        QCOMPARE(added.name, u"Shop"_s);
        QVERIFY(added.isActivated && added.codeKind == SupportedFileExtension::cpp);
        QCOMPARE(fixture.registry().gitOptions(added.id), (GitOptions{true, true}));
        QTRY_COMPARE(view.body(), WatcherDashboardView::Body::table);

        // The row's menu switches them; the name cell's badge and its spoken name follow.
        const QModelIndex name = view.model().index(0, CodeWatcherTableViewModel::nameColumn);
        QCOMPARE(name.data(CodeWatcherTableViewModel::gitBadgeRole).toString(), u"git ±"_s);
        QMenu *row = view.table()->rowMenu(name);
        QVERIFY(row);
        QCOMPARE(row->actions().size(), 2);
        QVERIFY(row->actions().at(0)->isChecked() && row->actions().at(1)->isChecked());
        row->actions().at(1)->trigger(); // "Skip Files Git Ignores" off
        delete row;
        QCOMPARE(fixture.registry().gitOptions(added.id), (GitOptions{true, false}));
        QTRY_COMPARE(name.data(CodeWatcherTableViewModel::gitBadgeRole).toString(), u"±"_s);
        QCOMPARE(name.data(Qt::AccessibleTextRole).toString(),
                 u"Shop, Formats only lines changed since the last commit"_s);
        QTRY_VERIFY(!view.addWatcher()->sheet());

        // A folder inside a watched one may have a style of its own; the sheet says who keeps
        // the files both take.
        QVERIFY(QDir().mkpath(project + u"/lib"_s));
        dialogs.directory = project + u"/lib"_s;
        view.addWatcher()->chooseFolder();
        QTRY_VERIFY(view.addWatcher()->sheet() && view.addWatcher()->sheet()->isVisible());
        const QLabel *nesting = view.addWatcher()->sheet()->nestingLine();
        QVERIFY(nesting->isVisible());
        QVERIFY(nesting->text().startsWith(u"This folder is inside the watcher “Shop”"_s));
    }

    // "Run Fixers" over a tree says how far it has come, and nothing once it is done.
    void runningFixersShowsHowFarItHasCome()
    {
        CoreFixture fixture;
        const QString project = fixture.makeProject(
            u"tree"_s, {{u"a.cpp"_s, u"int a;"_s}, {u"b.cpp"_s, u"int b;"_s}, {u"c.h"_s, u""_s}});
        const CodeWatcherModel watcher =
            fixture.makeWatcher(project, SupportedFileExtension::cpp, true);
        QVERIFY(fixture.registry().addWatcher(watcher));
        WatcherDashboardView view(fixture.core());
        const QModelIndex runFixers =
            view.model().index(0, CodeWatcherTableViewModel::fixAllColumn);
        QVERIFY(view.table()->runFixersButtons()->isEnabled(runFixers));
        QCOMPARE(RunFixersDelegate::progressText(runFixers), QString());

        // Pressed from the keyboard, as a screen reader's user does; the control says what it
        // acts on.
        QCOMPARE(runFixers.data(Qt::AccessibleTextRole).toString(), u"Run Fixers on tree"_s);
        fixture.fixerFor(watcher.id)->hold();
        view.table()->setCurrentIndex(runFixers);
        QTest::keyClick(view.table(), Qt::Key_Space);
        QTRY_COMPARE(RunFixersDelegate::progressText(runFixers), u"0 of 3"_s);
        // In the smallest window the bar has no room beside the button: a line under it.
        view.resize(620, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QRect cell = view.table()->visualRect(runFixers);
        const QImage drawn = view.table()->viewport()->grab(cell).toImage();
        QCOMPARE(drawn.pixel(cell.width() / 2, cell.height() - 3),
                 view.table()->palette().color(QPalette::Mid).rgb());
        fixture.fixerFor(watcher.id)->release();
        QTRY_COMPARE(RunFixersDelegate::progressText(runFixers), QString());

        // The focused cell carries a mark the arrows move; Tab leaves the table.
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.table()->setFocus();
        QTRY_VERIFY(view.table()->hasFocus());
        const auto marked = [&view](const QModelIndex &cell) {
            const QRect rect = view.table()->visualRect(cell);
            const QImage shown = view.table()->viewport()->grab(rect).toImage();
            return shown.pixelColor(1, rect.height() / 2) ==
                   view.table()->palette().color(QPalette::Highlight);
        };
        QTRY_VERIFY(marked(runFixers));
        QTest::keyClick(view.table(), Qt::Key_Right);
        QTRY_VERIFY(marked(view.table()->currentIndex()) && !marked(runFixers));
        QTest::keyClick(view.table(), Qt::Key_Tab);
        QTRY_VERIFY(!view.table()->hasFocus());
        QVERIFY(!marked(view.table()->currentIndex()));
    }

    // A refused watcher keeps the sheet open with the reason; an inactive one cannot run; a
    // rename is stored.
    void refusalsInactiveWatchersAndRenames()
    {
        CoreFixture fixture;
        const CodeWatcherModel unplugged = fixture.makeWatcher(
            fixture.makeProject(u"disk"_s) + u"/unplugged"_s, SupportedFileExtension::cpp, true);
        WatcherListStore(TestHome::settings()).save({unplugged});
        const CodeWatcherModel idle = fixture.makeWatcher(fixture.makeProject(u"idle"_s),
                                                          SupportedFileExtension::kotlin, false);
        QVERIFY(fixture.registry().addWatcher(idle));
        WatcherDashboardView view(fixture.core());
        QTRY_COMPARE(view.body(), WatcherDashboardView::Body::table);
        const QModelIndex runFixers =
            view.model().index(0, CodeWatcherTableViewModel::fixAllColumn);
        QVERIFY(!view.table()->runFixersButtons()->isEnabled(runFixers));

        // A typed name is kept where the next launch reads it.
        QVERIFY(view.model().setData(view.model().index(0, CodeWatcherTableViewModel::nameColumn),
                                     u"Renamed"_s));
        QCOMPARE(fixture.registry().entry(idle.id)->watcher.name, u"Renamed"_s);
        QCOMPARE(WatcherListStore::decode(TestHome::settings()
                                              .value(WatcherListStore::userDefaultsKeyForWatchers)
                                              .toByteArray())
                     .items.value(0)
                     .name,
                 u"Renamed"_s);
        QTRY_COMPARE(view.model().index(0, 0).data().toString(), u"Renamed"_s);

        // The configuration cell offers the language's configurations; one chosen is kept.
        const QUuid other = QUuid::createUuid();
        fixture.configurations().createConfig(other, u"root = true\n"_s,
                                              SupportedFileExtension::kotlin, u"Other"_s);
        fixture.configurations().createConfig(QUuid::createUuid(), u"BasedOnStyle: LLVM\n"_s,
                                              SupportedFileExtension::cpp, u"Not Kotlin"_s);
        QMenu *menu = view.table()->configurationMenu(
            view.model().index(0, CodeWatcherTableViewModel::configNameColumn));
        QVERIFY(menu);
        QStringList offered;
        for (const QAction *action : menu->actions())
            offered << action->text() + (action->isChecked() ? u" ✓"_s : QString());
        QCOMPARE(offered.size(), 2);
        QVERIFY(!offered.contains(u"Not Kotlin"_s) && offered.contains(u"Other"_s));
        menu->actions().at(offered.indexOf(u"Other"_s))->trigger();
        QCOMPARE(fixture.registry().entry(idle.id)->watcher.configurationId, other);
        QTRY_COMPARE(
            view.model().index(0, CodeWatcherTableViewModel::configNameColumn).data().toString(),
            u"Other"_s);
        delete menu;

        // A stored watcher whose folder is gone shows why, cannot be switched on, and goes.
        const QModelIndex shown = view.model().index(1, CodeWatcherTableViewModel::activatedColumn);
        QVERIFY(shown.data(CodeWatcherTableViewModel::unrestoredReasonRole)
                    .toString()
                    .startsWith(u"Not watched: "_s));
        QVERIFY(!view.table()->switches()->isEnabled(shown));
        AnsweringDialogs dialogs;
        view.table()->setCurrentIndex(shown);
        QTest::keyClick(view.table(), Qt::Key_Return);
        QVERIFY(dialogs.asked.isEmpty()); // not even tried
        // Removing asks first, naming the watcher and its folder; the default keeps it.
        const QModelIndex remove = view.model().index(1, CodeWatcherTableViewModel::removeColumn);
        Q_EMIT view.table()->removeButtons()->clicked(remove);
        QCOMPARE(dialogs.asked,
                 QStringList{u"Remove “unplugged”?:Sprucer stops watching %1. The folder and its "
                             u"files stay as they are.[Remove]"_s.arg(
                                 unplugged.url.toLocalFile().chopped(1))});
        QCoreApplication::processEvents();
        QCOMPARE(view.model().rowCount(), 2);
        dialogs.confirms = true;
        Q_EMIT view.table()->removeButtons()->clicked(remove);
        QTRY_COMPARE(view.model().rowCount(), 1);
        dialogs.asked.clear();
        QCOMPARE(WatcherListStore::decode(TestHome::settings()
                                              .value(WatcherListStore::userDefaultsKeyForWatchers)
                                              .toByteArray())
                     .items.size(),
                 1);

        dialogs.directory = fixture.makeProject(u"gone"_s);
        view.addWatcher()->chooseFolder();
        QTRY_VERIFY(view.addWatcher()->sheet());
        SetupNewWatcherView &sheet = *view.addWatcher()->sheet();
        QVERIFY(QDir(dialogs.directory).removeRecursively());
        sheet.nameField()->setText(u"Gone"_s);
        sheet.configurationPicker()->setCurrentIndex(1);
        sheet.addButton()->click();
        QVERIFY(sheet.isVisible());
        QVERIFY(sheet.errorLine()->isVisible());
        QVERIFY(sheet.errorLine()->text().contains(u"cannot open this folder"_s));
        QCOMPARE(fixture.registry().monitors().size(), 1);

        // Switching on a watcher whose folder went away says why instead of doing nothing.
        QVERIFY(QDir(idle.url.toLocalFile()).removeRecursively());
        Q_EMIT view.table()->switches()->clicked(
            view.model().index(0, CodeWatcherTableViewModel::activatedColumn));
        QVERIFY(!dialogs.asked
                     .filter(u"Could not switch the watcher:\"Renamed\" could not be "
                             u"started: "_s)
                     .isEmpty());
    }

    // The configuration screens and the watcher table are handed the core's one store: a
    // rename made through a configuration sheet shows in the watcher's row.
    void theScreensShareOneConfigurationStore()
    {
        CoreFixture fixture;
        const CodeWatcherModel watcher =
            fixture.makeWatcher(fixture.makeProject(u"shop"_s), SupportedFileExtension::kotlin);
        QVERIFY(fixture.registry().addWatcher(watcher));
        WatcherDashboardView watchers(fixture.core());
        const QModelIndex style =
            watchers.model().index(0, CodeWatcherTableViewModel::configNameColumn);
        QCOMPARE(style.data(), u"Test style"_s);

        ConfigurationDashboardView configurations(fixture.core().configurations(),
                                                  fixture.registry());
        ConfigCard *kotlin = configurations.cards().value(3);
        QVERIFY(kotlin && kotlin->language().kind == SupportedFileExtension::kotlin);
        kotlin->editButton()->click();
        QVERIFY(kotlin->listSheet());
        kotlin->listSheet()->openEditor(0);
        QPointer<RawXmlFormatterView> editor = kotlin->listSheet()->editorSheet();
        QVERIFY(editor);
        editor->nameField()->setText(u"House style"_s);
        editor->saveButton()->click(); // once the tool has looked at it
        QTRY_COMPARE(style.data(), u"House style"_s);
        QCOMPARE(fixture.core().configurations().configs().value(0).name, u"House style"_s);
    }
};

SPRUCER_GUI_TEST_MAIN(TestWatcherDashboardView)
#include "TestWatcherDashboardView.moc"
