// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stats/CounterStore.h"
#include "core/support/LocalPath.h"
#include "core/support/NotificationCenter.h"
#include "core/watching/CodeWatcherTableViewModel.h"
#include "support/CoreFixture.h"
#include "support/TestMain.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QSignalSpy>

using namespace Qt::StringLiterals;

using Model = CodeWatcherTableViewModel;

class TestCodeWatcherTableViewModel : public QObject
{
    Q_OBJECT

    // Rows named by the data changes the model announced, each change of one row only.
    static QList<int> changedRows(const QSignalSpy &spy)
    {
        QList<int> rows;
        for (const QList<QVariant> &change : spy) {
            const int top = change[0].toModelIndex().row();
            if (change[1].toModelIndex().row() != top)
                return {-1};
            rows.append(top);
        }
        return rows;
    }

private Q_SLOTS:
    // The home folder reads as "~", and only a whole folder name of it.
    void foldersReadAsAPersonWritesThem()
    {
        const QString home = LocalPath::normalized(QDir::homePath());
        QCOMPARE(LocalPath::shown(home + u"/Code/My Project"_s), u"~/Code/My Project"_s);
        QCOMPARE(LocalPath::shown(home), u"~"_s);
        QCOMPARE(LocalPath::shown(home + u"2/x"_s), home + u"2/x"_s);
        QCOMPARE(LocalPath::shown(u"/srv/a b"_s), u"/srv/a b"_s);
    }

    void init() { TestHome::current().reset(); }

    void followsTheRegistryRowByRow()
    {
        CoreFixture fixture;
        CoreServices &core = fixture.core();
        const CodeWatcherModel first =
            fixture.makeWatcher(fixture.makeProject(u"a"_s), SupportedFileExtension::cpp);
        QVERIFY(core.registry().addWatcher(first));
        core.health().refresh();
        Model model(core.registry(), core.notifications(), core.progress(), core.counters(),
                    core.health(), core.configurations());
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.index(0, Model::extensionColumn).data(), u"cpp"_s);
        QCOMPARE(model.index(0, Model::configNameColumn).data(), u"Test style"_s);
        QCOMPARE(model.index(0, Model::activatedColumn).data(Qt::CheckStateRole), Qt::Unchecked);
        // Its status, as the row shows it and as a screen reader reads it.
        QTRY_COMPARE(model.index(0, Model::statusColumn).data(), u"Switched off"_s);
        QCOMPARE(model.headerData(Model::statusColumn, Qt::Horizontal), u"Status"_s);
        const QString off = u"Switched off: files saved in its folder are left as they are."_s;
        QCOMPARE(model.index(0, Model::statusColumn).data(Qt::AccessibleDescriptionRole), off);
        QCOMPARE(model.index(0, Model::nameColumn).data(Qt::AccessibleDescriptionRole), off);
        QCOMPARE(model.index(0, Model::fixAllColumn).data(Model::canRunFixersRole), false);

        QSignalSpy inserted(&model, &Model::rowsInserted);
        QSignalSpy removed(&model, &Model::rowsRemoved);
        QSignalSpy changed(&model, &Model::dataChanged);
        const CodeWatcherModel second =
            fixture.makeWatcher(fixture.makeProject(u"b c"_s), SupportedFileExtension::swift);
        QVERIFY(core.registry().addWatcher(second));
        QTRY_COMPARE(inserted.size(), 1);
        QCOMPARE(inserted[0][1].toInt(), 1);
        // The folder as a person reads it, whole in the tooltip.
        const QString folder = LocalPath::fromUrl(second.url);
        QCOMPARE(model.index(1, Model::urlColumn).data().toString(), folder);
        QCOMPARE(model.index(1, Model::urlColumn).data(Qt::ToolTipRole).toString(), folder);
        QVERIFY(folder.endsWith(u"/b c"_s));

        QVERIFY(core.registry().startWatcher(second));
        QTRY_COMPARE(model.index(1, 0).data(Model::activatedRole), true);
        QVERIFY(!changedRows(changed).isEmpty());
        QVERIFY(!changedRows(changed).contains(0) && !changedRows(changed).contains(-1));
        QVERIFY(core.registry().removeWatcher(first.id));
        QTRY_COMPARE(removed.size(), 1);
        QCOMPARE(removed[0][1].toInt(), 0);
        QCOMPARE(model.codeWatchers(),
                 QList<CodeWatcherModel>{core.registry().monitors()[0].watcher});

        // A renamed configuration shows in its watchers' rows.
        core.configurations().updateConfig(second.configurationId, QString(), u"Renamed"_s);
        QTRY_COMPARE(model.index(0, Model::configNameColumn).data(), u"Renamed"_s);
    }

    void processingMarksAndCountsChangeTheirRowOnly()
    {
        CoreFixture fixture;
        CoreServices &core = fixture.core();
        QList<CodeWatcherModel> watchers;
        for (const QString &name : {u"a"_s, u"b"_s}) {
            watchers.append(
                fixture.makeWatcher(fixture.makeProject(name), SupportedFileExtension::kotlin));
            QVERIFY(core.registry().addWatcher(watchers.last()));
        }
        core.health().refresh(); // so that no status changes under the test
        Model model(core.registry(), core.notifications(), core.progress(), core.counters(),
                    core.health(), core.configurations());
        QSignalSpy changed(&model, &Model::dataChanged);
        NotificationCenter &center = core.notifications();
        const QString id = NotificationCenter::watcherIdKey;

        center.post(NotificationCenter::fileProcessingStartedName, {});
        center.post(NotificationCenter::fileProcessingStartedName,
                    {{id, watchers[1].id.toString()}});
        center.post(NotificationCenter::fileProcessingCompleteName, {{id, watchers[0].id}});
        center.post(NotificationCenter::fileProcessingStartedName, {{id, watchers[1].id}});
        QTRY_VERIFY(model.isProcessing(watchers[1].id));
        QCOMPARE(model.index(1, Model::fixAllColumn).data(Model::processingRole), true);
        // Overlapping deliveries: the first completion clears the mark.
        center.post(NotificationCenter::fileProcessingStartedName, {{id, watchers[1].id}});
        center.post(NotificationCenter::fileProcessingCompleteName, {{id, watchers[1].id}});
        QTRY_VERIFY(!model.isProcessing(watchers[1].id));
        QCOMPARE(changedRows(changed), (QList<int>{1, 1}));

        changed.clear();
        core.counters().incrementCount(watchers[0].id);
        core.counters().incrementCount(QUuid::createUuid());
        QCOMPARE(changedRows(changed), QList<int>{0});
        QCOMPARE(model.index(0, 0).data(Model::fixedCountRole), 1);
    }
};

SPRUCER_TEST_MAIN(TestCodeWatcherTableViewModel)
#include "TestCodeWatcherTableViewModel.moc"
