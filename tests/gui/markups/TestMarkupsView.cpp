// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/MarkupIndex.h"
#include "core/markups/MarkupTreeModel.h"
#include "core/support/UserDefaults.h"
#include "core/watching/MarkupsViewModel.h"
#include "gui/markups/MarkupRowDelegate.h"
#include "gui/markups/MarkupsView.h"
#include "gui/support/FileOpener.h"
#include "gui/support/Palette.h"
#include "support/AnsweringDialogs.h"
#include "support/CoreFixture.h"
#include "support/GuiTestMain.h"
#include "support/LogFile.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {

using Kind = MarkupTreeModel::Kind;

// Records what would have been opened.
class RecordingOpener : public FileOpener
{
public:
    QStringList opened;

    RecordingOpener() { FileOpener::install(this); }
    ~RecordingOpener() override { FileOpener::install(nullptr); }
    void open(const QString &path, qint64 line) override
    {
        opened << path + u':' + QString::number(line);
    }
};

// The first row below `parent` whose display text is `text`.
QModelIndex find(const QAbstractItemModel &model, const QString &text,
                 const QModelIndex &parent = {})
{
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        if (index.data().toString() == text)
            return index;
        if (const QModelIndex below = find(model, text, index); below.isValid())
            return below;
    }
    return {};
}

bool write(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
}

} // namespace

class TestMarkupsView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    // A watcher's findings, searched, expanded, flattened and opened as a user does.
    void findingsCanBeSearchedExpandedAndOpened()
    {
        CoreFixture fixture;
        const QString project = fixture.makeProject(
            u"shop"_s, {{u"a.swift"_s, u"// TODO: one\n// FIXME: two\n"_s},
                        {u"src/cart/b.swift"_s, u"// TODO: three\n"_s},
                        {u"src/pay/c.swift"_s, u"// TODO: four\n// TODO: five\n"_s}});
        const CodeWatcherModel watcher =
            fixture.makeWatcher(project, SupportedFileExtension::swift, true);
        QVERIFY(fixture.registry().addWatcher(watcher));
        QTRY_COMPARE(fixture.core().markups().of(watcher.id).size(), 5);

        MarkupsView view(fixture.registry(), fixture.core().markups());
        view.show();
        QCOMPARE(view.model().rowCount(), 0); // the load lands on the next turn
        QTRY_COMPARE(view.totals()->text(), u"5 TODOs in 3 files"_s);
        const QModelIndex root = view.model().index(0, 0);
        QCOMPARE(root.data().toString(), u"shop"_s);
        QVERIFY(!view.list()->isExpanded(root));

        // Opening a watcher opens its top folders too.
        view.toggle(root);
        QVERIFY(view.list()->isExpanded(root));
        const QModelIndex shop = find(view.model(), u"shop"_s, root);
        QVERIFY(shop.isValid() && view.list()->isExpanded(shop));
        QCOMPARE(shop.data(MarkupTreeModel::countRole).toLongLong(), 2);

        // Expand all under a search, then clear it: what the search hid stays closed.
        view.searchField()->setText(u"fixme"_s);
        QCOMPARE(view.totals()->text(), u"5 TODOs in 3 files"_s);
        view.expandAllButton()->click();
        view.searchField()->clear();
        const QModelIndex cart = find(view.model(), u"cart"_s, view.model().index(0, 0));
        QVERIFY(cart.isValid() && !view.list()->isExpanded(cart));
        const QModelIndex a = find(view.model(), u"a.swift"_s);
        QVERIFY(view.list()->isExpanded(a));

        // The open buttons land on the markup's line, through the user's command if any.
        RecordingOpener opener;
        const QModelIndex two = find(view.model(), u"two"_s);
        QCOMPARE(Kind(two.data(MarkupTreeModel::kindRole).toInt()), Kind::markup);
        view.open(two);
        QCOMPARE(opener.opened, QStringList{project + u"/a.swift:2"_s});
        view.copyText(two);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"two"_s);

        // The flat list: a section per file, and the same totals.
        view.layoutToggle()->click();
        QCOMPARE(view.layoutToggle()->text(), u"Tree View"_s);
        QVERIFY(!view.expandAllButton()->isVisibleTo(&view));
        QCOMPARE(view.model().rowCount(), 3);
        QCOMPARE(Kind(view.model().index(0, 0).data(MarkupTreeModel::kindRole).toInt()),
                 Kind::fileHeader);
        QVERIFY(!view.noMatch()->isVisible());
        view.searchField()->setText(u"<b>nothing</b> like it"_s);
        QCOMPARE(view.model().rowCount(), 0);
        QCOMPARE(view.totals()->text(), u"5 TODOs in 3 files"_s);
        QVERIFY(view.noMatch()->isVisible() && !view.list()->isVisible());
        QCOMPARE(view.noMatch()->text(), u"No TODOs match \u201c<b>nothing</b> like it\u201d"_s);
        QCOMPARE(view.noMatch()->textFormat(), Qt::PlainText);
        view.searchField()->setText(u"fou"_s);
        QVERIFY(!view.noMatch()->isVisible() && view.list()->isVisible());
        QCOMPARE(view.model().rowCount(), 1);
    }

    // Saves that add, change and remove notes reach the open screen with no refresh, keeping the
    // selected note and the row at the top; a hidden screen is current when it is shown again.
    void theListFollowsSavesInPlace()
    {
        CoreFixture fixture(std::chrono::milliseconds(100));
        QString many;
        for (int n = 1; n <= 40; ++n)
            many += u"// TODO: note %1\n"_s.arg(n);
        const QString project = fixture.makeProject(
            u"shop"_s, {{u"m.swift"_s, many}, {u"z.swift"_s, u"// TODO: z\n"_s}});
        const CodeWatcherModel watcher =
            fixture.makeWatcher(project, SupportedFileExtension::swift, true);
        QVERIFY(fixture.registry().addWatcher(watcher));
        QTRY_COMPARE(fixture.core().markups().of(watcher.id).size(), 41);

        MarkupsView view(fixture.registry(), fixture.core().markups());
        view.layoutToggle()->click(); // the flat list, every note a row
        view.resize(400, 300);
        view.show();
        QTRY_COMPARE(view.totals()->text(), u"41 TODOs in 2 files"_s);
        QTreeView *list = view.list();
        list->setCurrentIndex(find(view.model(), u"note 30"_s));
        list->scrollTo(find(view.model(), u"note 10"_s), QAbstractItemView::PositionAtTop);
        const auto top = [list] {
            return list->indexAt(QPoint(1, 1)).data().toString();
        };
        QCOMPARE(top(), u"note 10"_s);

        // Rows come in above both: a new file sorted first, a note over note 30 in its file.
        QVERIFY(write(project + u"/a.swift"_s, u"// FIXME: first\n"_s));
        QVERIFY(write(project + u"/m.swift"_s, u"// TODO: new\n"_s + many));
        QTRY_COMPARE(view.totals()->text(), u"43 TODOs in 3 files"_s);
        QCOMPARE(top(), u"note 10"_s);
        QCOMPARE(list->currentIndex().data().toString(), u"note 30"_s);
        QCOMPARE(list->currentIndex().data(MarkupTreeModel::lineRole).toLongLong(), 31);
        // A screen reader hears the kind, the text, the line and the file.
        QCOMPARE(list->currentIndex().data(Qt::AccessibleTextRole).toString(),
                 u"TODO: note 30, line 31 of m.swift"_s);

        // A note changed into two, and a file deleted with its note.
        QVERIFY(write(project + u"/z.swift"_s, u"// TODO: changed\n// FIXME: also\n"_s));
        QVERIFY(QFile::remove(project + u"/a.swift"_s));
        QTRY_COMPARE(view.totals()->text(), u"43 TODOs in 2 files"_s);
        QVERIFY(find(view.model(), u"changed"_s).isValid());
        QVERIFY(!find(view.model(), u"z"_s).isValid() && !find(view.model(), u"first"_s).isValid());

        // Hidden, the screen keeps its groups current and its rows wait; shown, it paints them.
        view.hide();
        QVERIFY(write(project + u"/b.swift"_s, u"// TODO: while hidden\n"_s));
        QTRY_COMPARE(view.viewModel().totalMarkups(), 44);
        QVERIFY(!find(view.model(), u"while hidden"_s).isValid());
        view.show();
        QVERIFY(find(view.model(), u"while hidden"_s).isValid());
        QCOMPARE(view.totals()->text(), u"44 TODOs in 3 files"_s);
    }

    void badgesAndTheOpenCommand()
    {
        QCOMPARE(MarkupRowDelegate::badgeColour(u"TODO"_s).rgb(), Palette::blue().rgb());
        QCOMPARE(MarkupRowDelegate::badgeColour(u"FIXME"_s).rgb(), Palette::orange().rgb());
        QCOMPARE(MarkupRowDelegate::badgeColour(u"todo"_s).rgb(), Palette::orange().rgb());

        QCOMPARE(FileOpener::commandLine(u"code --goto {file}:{line}"_s, u"/a b/c.cpp"_s, 12),
                 (QStringList{u"code"_s, u"--goto"_s, u"/a b/c.cpp:12"_s}));
        QCOMPARE(FileOpener::commandLine(u"  "_s, u"/c.cpp"_s, 1), std::nullopt);

        // A command that cannot start is logged, and the default application opens the file.
        QList<QUrl> defaults;
        DesktopFileOpener opener(&TestHome::settings(), [&defaults](const QUrl &url) {
            defaults << url;
            return true;
        });
        TestHome::settings().setValue(FileOpener::commandKey, u"/no/such/editor {file}"_s);
        opener.open(u"/p/a.swift"_s, 3);
        QCOMPARE(defaults, QList<QUrl>{QUrl::fromLocalFile(u"/p/a.swift"_s)});
        QVERIFY(LogFile::text().contains(u"Could not start \"/no/such/editor {file}\""_s));

        // When nothing opens it either, the user is told where to choose an application.
        AnsweringDialogs dialogs;
        DesktopFileOpener refusing(nullptr, [](const QUrl &) { return false; });
        refusing.open(u"/p/a.swift"_s, 3);
        QCOMPARE(dialogs.asked.size(), 1);
        QVERIFY(dialogs.asked[0].startsWith(u"Could not open the file:No application opened"_s));
    }
};

SPRUCER_GUI_TEST_MAIN(TestMarkupsView)
#include "TestMarkupsView.moc"
