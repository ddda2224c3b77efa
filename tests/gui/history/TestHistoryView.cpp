// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/FixHistoryModel.h"
#include "core/history/FixJournal.h"
#include "core/services/FixUndo.h"
#include "core/support/UserDefaults.h"
#include "gui/editor/CodeEditor.h"
#include "gui/history/HistoryView.h"
#include "gui/shell/SettingsView.h"
#include "support/AnsweringDialogs.h"
#include "support/GuiTestMain.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The file now holds `after`, and the journal knows it was `before`.
void fix(FixJournal &journal, const QString &path, const QByteArray &before,
         const QByteArray &after, FixOutcome::Origin origin = FixOutcome::Origin::save)
{
    QVERIFY(write(path, after));
    FixOutcome outcome;
    outcome.path = path;
    outcome.origin = origin;
    outcome.delivery = 3;
    outcome.result = FixOutcome::Result::changed;
    outcome.contentBefore = before;
    outcome.contentAfter = after;
    outcome.digestBefore = QCryptographicHash::hash(before, QCryptographicHash::Sha256);
    outcome.digestAfter = QCryptographicHash::hash(after, QCryptographicHash::Sha256);
    journal.record(outcome, u"Project"_s, {});
    journal.flush();
}

} // namespace

// The History screen: a fix's diff, its undo, a run's undo with what was left, and the
// selection kept while fixes come in.
class TestHistoryView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void showsAndUndoesFixesAndRuns()
    {
        QTemporaryDir dir;
        AnsweringDialogs dialogs;
        FixJournal journal(dir.filePath(u"history"_s));
        FixUndo undo(journal);
        const QString a = dir.filePath(u"a.cpp"_s), b = dir.filePath(u"b.cpp"_s);
        fix(journal, a, "int a;\n", "int A;\n", FixOutcome::Origin::run);
        fix(journal, b, "int b;\n", "int B;\n", FixOutcome::Origin::run);
        HistoryView view(journal, undo);
        view.show();
        QVERIFY(!view.undoButton()->isEnabled());

        // Today, the run's header, b, a; a click on a row shows its diff, as the keys do.
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QRect third = view.list()->visualRect(view.model()->index(2, 0));
        QTest::mouseClick(view.list()->viewport(), Qt::LeftButton, {}, third.center());
        QVERIFY(view.diffView()->text().contains(u"-int b;\n+int B;\n"_s));
        QVERIFY(view.selectFix(journal.fixes().last().id));
        QVERIFY(view.diffView()->text().contains(u"-int a;\n+int A;\n"_s));
        QVERIFY(view.diffView()->isReadOnly());
        QVERIFY(view.undoButton()->isEnabled());
        view.undoButton()->click();
        QVERIFY(!view.undoButton()->isEnabled()); // no second undo while this one runs
        QTRY_COMPARE(view.statusLine()->text(), u"a.cpp is back as it was before the fix"_s);
        QVERIFY(view.model()->fixAt(view.list()->currentIndex().row())->undone());
        QVERIFY(!view.undoButton()->isEnabled());

        // A new fix comes in: the selection stays on its row.
        fix(journal, dir.filePath(u"c.cpp"_s), "c\n", "C\n");
        QTRY_COMPARE(view.model()->rowCount(), 5);
        QCOMPARE(view.model()->fixAt(view.list()->currentIndex().row())->path, a);

        QVERIFY(view.selectRun(journal.fixes().last().run));
        QCOMPARE(view.undoButton()->text(), u"Undo Run"_s);
        QVERIFY(write(b, "edited\n"));
        view.undoButton()->click();
        QTRY_COMPARE(view.statusLine()->text(), u"0 put back · 1 changed since · 0 failed"_s);
        QCOMPARE(dialogs.asked,
                 QStringList{u"Some fixes were not undone:0 put back · 1 changed since · 0 failed\n"
                             u"b.cpp has changed since the fix; nothing was undone"_s});
    }

    void settingsTurnTheHistoryOffAndClearIt()
    {
        QTemporaryDir dir;
        AnsweringDialogs dialogs;
        UserDefaults settings(dir.filePath(u"settings.json"_s));
        FixJournal journal(dir.filePath(u"history"_s));
        fix(journal, dir.filePath(u"a.cpp"_s), "a\n", "A\n");
        SettingsView sheet(settings, false, [](bool) { return Result<void>(); });
        sheet.showHistorySettings(journal);
        QVERIFY(sheet.keepHistorySwitch()->isChecked());

        sheet.keepHistorySwitch()->click();
        QVERIFY(!FixJournal::kept(settings) && !journal.enabled());
        fix(journal, dir.filePath(u"b.cpp"_s), "b\n", "B\n");
        QCOMPARE(journal.fixes().size(), 1);

        sheet.clearHistoryButton()->click(); // not confirmed
        QCOMPARE(journal.fixes().size(), 1);
        dialogs.confirms = true;
        sheet.clearHistoryButton()->click();
        QVERIFY(journal.fixes().isEmpty());
    }
};

SPRUCER_GUI_TEST_MAIN(TestHistoryView)
#include "TestHistoryView.moc"
