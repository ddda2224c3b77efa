// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ConfigManagerFactory.h"
#include "core/formatting/ConfigurationListModel.h"
#include "core/formatting/DependencyChecker.h"
#include "core/formatting/RawXmlFormatterViewModel.h"
#include "core/watching/WatcherListStore.h"
#include "gui/configurations/ConfigCard.h"
#include "gui/configurations/ConfigEditorView.h"
#include "gui/configurations/ConfigurationDashboardView.h"
#include "gui/configurations/RawXmlFormatterView.h"
#include "gui/editor/CodeEditor.h"
#include "support/AnsweringDialogs.h"
#include "support/CoreFixture.h"
#include "support/GuiTestMain.h"
#include "support/LogFile.h"
#include "support/StandInTool.h"
#include "support/UnnamedControls.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ConfigurationItem created(ConfigManagerFactory &store, const QString &name,
                          SupportedFileExtension language, const QString &text = u"a: 1\n"_s)
{
    return store.createConfig(QUuid::createUuid(), text, language, name).value();
}

} // namespace

class TestConfigurationScreens : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        TestHome::current().reset();
        LogFile::clear();
    }

    // The cards say which tools are there, and how to get a missing one; the C++ and
    // Objective-C cards agree; a tool installed meanwhile shows when the screen comes back.
    void cardsFollowTheToolsEachTimeTheScreenIsShown()
    {
        QTemporaryDir tools;
        StandInTool::write(tools.path(), u"clang-format"_s, u"exit 0"_s);
        const DependencyChecker checker(ToolResolver({tools.path()}, false));
        CoreFixture fixture;
        ConfigurationDashboardView dashboard(fixture.configurations(), fixture.registry(), checker);
        dashboard.resize(1400, 700);
        dashboard.show();
        const QList<ConfigCard *> &cards = dashboard.cards();
        QCOMPARE(cards.size(), 4);
        QCOMPARE(dashboard.columnCount(), 4);
        QVERIFY(!cards[0]->isToolInstalled() && cards[1]->isToolInstalled() &&
                cards[2]->isToolInstalled() && !cards[3]->isToolInstalled());
        QCOMPARE(cards[1]->statusText(), u"Configure formatting rules for C++ files"_s);
        QCOMPARE(cards[0]->statusText(), u"Swift not installed"_s);
        QVERIFY(cards[0]->installHint().startsWith(u"you can install using <span"_s));
        QVERIFY(cards[0]->installHint().endsWith(u">brew install swiftlint</span>"_s));
        QVERIFY(!cards[0]->installHint().contains(u'`'));
        QVERIFY(cards[3]->warningButton()->isVisible() && !cards[1]->warningButton()->isVisible());

        cards[3]->warningButton()->click();
        QTRY_VERIFY(cards[3]->errorPopup() && cards[3]->errorPopup()->isVisible());
        QVERIFY(cards[3]->errorPopup()->findChild<QLabel *>()->text().startsWith(
            u"ktlint is not installed."_s));

        StandInTool::write(tools.path(), u"ktlint"_s, u"exit 0"_s);
        QVERIFY(!cards[3]->isToolInstalled());
        dashboard.hide();
        dashboard.show();
        QVERIFY(cards[3]->isToolInstalled());

        // The columns follow the window, never narrower than 300.
        dashboard.resize(700, 700);
        QTRY_COMPARE(dashboard.columnCount(), 2);
        dashboard.resize(300, 700);
        QTRY_COMPARE(dashboard.columnCount(), 1);
    }

    // A language's sheet lists only its configurations, or says there are none.
    void listSheetShowsOneLanguageOrItsEmptyState()
    {
        CoreFixture fixture;
        ConfigManagerFactory &store = fixture.configurations();
        created(store, u"Shared name"_s, SupportedFileExtension::swift);
        ConfigEditorView kotlin(store, fixture.registry(), SupportedFileExtension::kotlin);
        QCOMPARE(kotlin.windowTitle(), u"kotlin Configuration Rules"_s);
        QVERIFY(kotlin.showsEmptyState());

        created(store, u"Shared name"_s, SupportedFileExtension::kotlin);
        created(store, u"Second"_s, SupportedFileExtension::kotlin);
        QTRY_VERIFY(!kotlin.showsEmptyState());
        QCOMPARE(kotlin.model().rowCount(), 2);
        const QModelIndex first = kotlin.model().index(0, 0);
        QCOMPARE(first.data().toString(), u"Shared name"_s);
        QVERIFY(first.data(ConfigurationListModel::createdTextRole)
                    .toString()
                    .startsWith(u"Created "_s));
        QCOMPARE(first.data(Qt::AccessibleDescriptionRole),
                 first.data(ConfigurationListModel::createdTextRole));
        QCOMPARE(kotlin.model().itemAt(0).language, SupportedFileExtension::kotlin);

        // Every control of both sheets can be named, and a click on a row edits it.
        kotlin.show();
        Q_EMIT kotlin.list()->clicked(first);
        QTRY_VERIFY(kotlin.editorSheet() && kotlin.editorSheet()->isVisible());
        QCOMPARE(kotlin.editorSheet()->nameField()->text(), u"Shared name"_s);
        QCOMPARE(unnamedControls(), QStringList());
    }

    // A configuration a watcher formats with stays, and the refusal names every such watcher,
    // the ones not restored at this start too; one no watcher uses goes, with its file, once
    // the user has said so.
    void deletionIsRefusedWhileWatchersUseIt()
    {
        CoreFixture fixture;
        CodeWatcherModel shop =
            fixture.makeWatcher(fixture.makeProject(u"shop"_s), SupportedFileExtension::cpp);
        CodeWatcherModel gone = fixture.makeWatcher(fixture.makeProject(u"x"_s) + u"/gone"_s,
                                                    SupportedFileExtension::cpp);
        gone.name = u"Old app"_s;
        gone.configurationId = shop.configurationId;
        WatcherListStore(TestHome::settings()).save({shop, gone});
        MonitorRegistry &registry = fixture.registry();
        QCOMPARE(registry.unrestoredWatchers().size(), 1);
        ConfigManagerFactory &store = fixture.configurations();
        const ConfigurationItem used = store.getConfig(shop.configurationId).value();
        const ConfigurationItem unused = created(store, u"Spare"_s, SupportedFileExtension::cpp);
        ConfigEditorView sheet(store, registry, SupportedFileExtension::cpp);
        QCOMPARE(sheet.model().rowCount(), 3); // the second is the one "gone" was made with
        AnsweringDialogs dialogs;
        dialogs.confirms = true;

        QVERIFY(sheet.deleteButton(0));
        QCOMPARE(sheet.deleteButton(0)->accessibleName(), u"Delete “Test style”"_s);
        sheet.deleteButton(0)->click();
        QCOMPARE(dialogs.asked,
                 QStringList{u"“Test style” cannot be deleted:The watchers “shop” and “Old app” "
                             u"format with it. Remove them, or give them another configuration, "
                             u"first."_s});
        QCoreApplication::processEvents();
        QVERIFY(store.getConfig(used.id) && QFile::exists(used.path.toLocalFile()));

        // Cancel keeps it; Delete from the row's menu takes it and its file.
        dialogs.asked.clear();
        dialogs.confirms = false;
        sheet.deleteButton(2)->click();
        QCOMPARE(dialogs.asked, QStringList{u"Delete “Spare”?:The configuration and its file are "
                                            u"deleted. This cannot be undone.[Delete]"_s});
        QVERIFY(store.getConfig(unused.id));
        dialogs.confirms = true;
        QMenu *menu = sheet.rowMenu(2);
        QCOMPARE(menu->actions().last()->text(), u"Delete…"_s);
        menu->actions().last()->trigger();
        QVERIFY(!store.getConfig(unused.id) && !QFile::exists(unused.path.toLocalFile()));
        QTRY_COMPARE(sheet.model().rowCount(), 2);
        QVERIFY(sheet.deleteButton(1) && !sheet.deleteButton(2));

        // Once its last watcher is gone it can go too.
        QVERIFY(registry.removeWatcher(shop.id));
        QVERIFY(registry.forgetWatcher(gone.id));
        sheet.deleteConfiguration(0);
        QVERIFY(!store.getConfig(used.id) && !QFile::exists(used.path.toLocalFile()));
    }

    // Names tell a language's configurations apart: a name another one of the language has
    // (spaces around it aside) is refused under the field, as typed and again at saving; the
    // other languages' names, and the configuration's own, are free.
    void namesAreUniquePerLanguage()
    {
        ConfigManagerFactory store{TestHome::settings()};
        const ConfigurationItem llvm =
            created(store, u"LLVM"_s, SupportedFileExtension::cpp, u"BasedOnStyle: LLVM\n"_s);
        created(store, u"Google"_s, SupportedFileExtension::cpp);
        created(store, u"Mozilla"_s, SupportedFileExtension::objectivec);

        RawXmlFormatterView sheet(store, llvm, SupportedFileExtension::cpp);
        QVERIFY(sheet.nameLine()->isHidden() && sheet.saveButton()->isEnabled());
        sheet.nameField()->setText(u" Google "_s);
        QVERIFY(!sheet.nameLine()->isHidden() && !sheet.saveButton()->isEnabled());
        QCOMPARE(sheet.nameLine()->text(),
                 u"Another C++ configuration is already named “Google”."_s);
        sheet.nameField()->setText(u"Mozilla"_s);
        QVERIFY(sheet.nameLine()->isHidden() && sheet.saveButton()->isEnabled());

        // Taken by another sheet between typing and saving.
        RawXmlFormatterView other(store, std::nullopt, SupportedFileExtension::cpp);
        other.nameField()->setText(u"Mozilla"_s);
        QVERIFY(other.nameLine()->isHidden());
        other.viewModel().setConfig(u"BasedOnStyle: Mozilla\n"_s);
        sheet.saveButton()->click();
        QTRY_COMPARE(sheet.result(), int(QDialog::Accepted));
        other.saveButton()->click();
        QTRY_VERIFY(!other.nameLine()->isHidden());
        QVERIFY(other.result() != int(QDialog::Accepted));
        QCOMPARE(store.configs().size(), 3);
        QCOMPARE(store.getConfig(llvm.id).value().name, u"Mozilla"_s);
    }

    // The sheet saves only with a name and some text (whitespace counts), creates through the
    // store, and an edit keeps the id, the file and the language.
    void editorSheetCreatesAndEdits()
    {
        ConfigManagerFactory store{TestHome::settings()};
        {
            RawXmlFormatterView sheet(store, std::nullopt, SupportedFileExtension::cpp);
            QCOMPARE(sheet.saveButton()->text(), u"Create Configuration"_s);
            QVERIFY(!sheet.saveButton()->isEnabled());
            sheet.nameField()->setText(u"LLVM"_s);
            QVERIFY(!sheet.saveButton()->isEnabled());
            sheet.viewModel().setConfig(u" "_s);
            QVERIFY(sheet.saveButton()->isEnabled());
            QCOMPARE(sheet.editor()->text(), u" "_s);
            sheet.viewModel().setConfig(u"BasedOnStyle: LLVM\n"_s);
            sheet.saveButton()->click(); // once the tool has looked at it
            QTRY_COMPARE(sheet.result(), int(QDialog::Accepted));
        }
        const QList<ConfigurationItem> saved = store.configs();
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved[0].language, SupportedFileExtension::cpp);
        QCOMPARE(readAll(saved[0].path.toLocalFile()), "BasedOnStyle: LLVM\n");

        RawXmlFormatterView edit(store, saved[0], SupportedFileExtension::swift);
        QCOMPARE(edit.saveButton()->text(), u"Save Changes"_s);
        QCOMPARE(edit.nameField()->text(), u"LLVM"_s);
        QCOMPARE(edit.editor()->text(), u"BasedOnStyle: LLVM\n"_s);
        edit.nameField()->setText(u"LLVM 4"_s);
        edit.viewModel().setConfig(u"BasedOnStyle: LLVM\nIndentWidth: 4\n"_s);
        edit.saveButton()->click();
        QTRY_COMPARE(edit.result(), int(QDialog::Accepted));
        const ConfigurationItem after = store.configs().value(0);
        QCOMPARE(store.configs().size(), 1);
        QCOMPARE(after.id, saved[0].id);
        QCOMPARE(after.path, saved[0].path);
        QCOMPARE(after.language, SupportedFileExtension::cpp);
        QCOMPARE(after.name, u"LLVM 4"_s);
        QCOMPARE(readAll(after.path.toLocalFile()), "BasedOnStyle: LLVM\nIndentWidth: 4\n");
    }

    // The real clang-format says what it makes of the text, and where, once typing stops.
    void theToolChecksTheText()
    {
        if (QStandardPaths::findExecutable(u"clang-format"_s).isEmpty())
            QSKIP("clang-format is not installed");
        ConfigManagerFactory store{TestHome::settings()};
        RawXmlFormatterView sheet(store, std::nullopt, SupportedFileExtension::cpp);
        sheet.viewModel().setConfig(u"BasedOnStyle: LLVM\nFoo: 1\n"_s);
        QTRY_COMPARE(sheet.checkLine()->text(),
                     u"clang-format refuses it: Line 2: unknown key 'Foo'"_s);
        QCOMPARE(sheet.editor()->markedLine(), 2);
        sheet.viewModel().setConfig(u"BasedOnStyle: LLVM\nIndentWidth: 4\n"_s);
        QTRY_COMPARE(sheet.checkLine()->text(), u"clang-format accepts this configuration."_s);
        QCOMPARE(sheet.editor()->markedLine(), 0);
    }

    // A text the tool refuses may still be saved (it may be meant for a newer tool), but only
    // once the user has read what the tool says and said so; Cancel keeps the sheet as it was.
    void aRefusedConfigurationIsSavedOnlyWhenTheUserSaysSo()
    {
        if (QStandardPaths::findExecutable(u"clang-format"_s).isEmpty())
            QSKIP("clang-format is not installed");
        ConfigManagerFactory store{TestHome::settings()};
        AnsweringDialogs dialogs;
        RawXmlFormatterView sheet(store, std::nullopt, SupportedFileExtension::cpp);
        sheet.nameField()->setText(u"Future"_s);
        sheet.viewModel().setConfig(u"BasedOnStyle: LLVM\nFoo: 1\n"_s);
        sheet.saveButton()->click(); // before the check: it waits for it, then asks
        QTRY_COMPARE(dialogs.asked.size(), 1);
        QCOMPARE(dialogs.asked[0],
                 u"clang-format refuses this configuration:clang-format says: Line 2: unknown "
                 u"key 'Foo'\n\nEvery fix of a watcher that uses it will fail until it is "
                 u"mended. Save it all the same?[Create Anyway]"_s);
        QCoreApplication::processEvents();
        QVERIFY(store.configs().isEmpty());
        QVERIFY(sheet.result() != int(QDialog::Accepted) && sheet.saveButton()->isEnabled());

        dialogs.confirms = true;
        sheet.saveButton()->click(); // checked already: asks at once
        QCOMPARE(dialogs.asked.size(), 2);
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
        QCOMPARE(store.configs().value(0).name, u"Future"_s);
    }

    // A configuration whose file went away opens with its name and no text, and saving writes
    // the file again; a save that fails keeps what the user typed.
    void deletedFilesAndFailedSaves()
    {
        ConfigManagerFactory store{TestHome::settings()};
        const ConfigurationItem item = created(store, u"Gone"_s, SupportedFileExtension::swift);
        QVERIFY(QFile::remove(item.path.toLocalFile()));
        RawXmlFormatterView sheet(store, item, SupportedFileExtension::swift);
        QCOMPARE(sheet.nameField()->text(), u"Gone"_s);
        QCOMPARE(sheet.editor()->text(), QString());
        QVERIFY(LogFile::text().contains(u"Error loading config rules: "_s));
        sheet.viewModel().setConfig(u"line_length: 120\n"_s);
        sheet.saveButton()->click();
        QTRY_COMPARE(readAll(item.path.toLocalFile()), "line_length: 120\n");

        // The configurations folder cannot be made: a file stands where it would go.
        const QString folder = QFileInfo(item.path.toLocalFile()).absolutePath();
        QVERIFY(QDir(folder).removeRecursively() && writeFile(folder, "in the way"));
        RawXmlFormatterView failing(store, std::nullopt, SupportedFileExtension::kotlin);
        failing.nameField()->setText(u"Kept"_s);
        failing.viewModel().setConfig(u"[*]\nindent_size = 2\n"_s);
        failing.saveButton()->click();
        QTRY_VERIFY(failing.errorLine()->isVisibleTo(&failing));
        QVERIFY(failing.result() != int(QDialog::Accepted));
        QVERIFY(!failing.errorLine()->text().isEmpty());
        QCOMPARE(failing.nameField()->text(), u"Kept"_s);
        QCOMPARE(failing.editor()->text(), u"[*]\nindent_size = 2\n"_s);
        QVERIFY(LogFile::text().contains(u"RawXML Formatter Error: "_s));
    }

    // Imports and drops replace the text with a UTF-8 file; other files leave it alone, and a
    // file too large for a configuration is refused without being read.
    void importsAndDrops()
    {
        ConfigManagerFactory store{TestHome::settings()};
        RawXmlFormatterView sheet(store, std::nullopt, SupportedFileExtension::cpp);
        QTemporaryDir files;
        const QString utf8 = files.filePath(u"style.yml"_s), latin1 = files.filePath(u"old.yml"_s),
                      large = files.filePath(u"large.bin"_s), second = files.filePath(u"b.yml"_s);
        QVERIFY(writeFile(utf8, "# Zoë's style\nBasedOnStyle: LLVM\n"));
        QVERIFY(writeFile(latin1, "# Zo\xeb\n"));
        QVERIFY(writeFile(large, QByteArray(1024 * 1024 + 1, 'x')));
        QVERIFY(writeFile(second, "IndentWidth: 2\n"));
        AnsweringDialogs dialogs;

        sheet.viewModel().setConfig(u"typed before"_s);
        dialogs.openPath = utf8;
        sheet.importButton()->click();
        QCOMPARE(dialogs.asked, QStringList{u"Import File"_s});
        QCOMPARE(sheet.editor()->text(), u"# Zoë's style\nBasedOnStyle: LLVM\n"_s);
        QCOMPARE(sheet.selectedFilePath(), utf8);

        dialogs.openPath = latin1;
        sheet.importButton()->click();
        QCOMPARE(sheet.selectedFilePath(), latin1);
        QCOMPARE(sheet.editor()->text(), u"# Zoë's style\nBasedOnStyle: LLVM\n"_s);
        QVERIFY(!sheet.errorLine()->isVisibleTo(&sheet));

        dialogs.openPath = large;
        sheet.importButton()->click();
        QVERIFY(sheet.errorLine()->isVisibleTo(&sheet));
        QCOMPARE(sheet.editor()->text(), u"# Zoë's style\nBasedOnStyle: LLVM\n"_s);

        // Of several dropped files the first is taken, on the next turn; a folder shows its path.
        Q_EMIT sheet.editor()->fileDropped(QUrl::fromLocalFile(second));
        QTRY_COMPARE(sheet.editor()->text(), u"IndentWidth: 2\n"_s);
        Q_EMIT sheet.editor()->fileDropped(QUrl::fromLocalFile(files.path()));
        QTRY_COMPARE(sheet.selectedFilePath(), files.path());
        QCOMPARE(sheet.editor()->text(), u"IndentWidth: 2\n"_s);

        dialogs.openPath.clear(); // cancelled
        sheet.importButton()->click();
        QCOMPARE(sheet.selectedFilePath(), files.path());
    }
};

SPRUCER_GUI_TEST_MAIN(TestConfigurationScreens)
#include "TestConfigurationScreens.moc"
