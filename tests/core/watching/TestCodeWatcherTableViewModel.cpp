// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stats/CounterStore.h"
#include "core/support/NotificationCenter.h"
#include "core/watching/CodeWatcherTableViewModel.h"
#include "support/RegistryFixture.h"
#include "support/TestMain.h"

#include <QSignalSpy>

class TestCodeWatcherTableViewModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    void mirrorsTheRegistry()
    {
        RegistryFixture fixture;
        const CodeWatcherModel first = fixture.makeWatcher(fixture.makeProject(QStringLiteral("a")),
                                                           SupportedFileExtension::cpp);
        QVERIFY(!fixture.registry().addWatcher(first));
        CodeWatcherTableViewModel model(fixture.registry());
        QCOMPARE(model.codeWatchers(), QList<CodeWatcherModel>{first});

        QSignalSpy changed(&model, &CodeWatcherTableViewModel::changed);
        const CodeWatcherModel second = fixture.makeWatcher(
            fixture.makeProject(QStringLiteral("b")), SupportedFileExtension::swift);
        QVERIFY(!fixture.registry().addWatcher(second));
        QCOMPARE(model.codeWatchers().size(), 2);

        fixture.registry().startWatcher(first);
        QVERIFY(model.codeWatchers().first().isActivated);
        fixture.registry().removeWatcher(first.id);
        QCOMPARE(model.codeWatchers(), QList<CodeWatcherModel>{second});
        QVERIFY(!changed.isEmpty());
    }

    void processingMarksFollowTheNotifications()
    {
        RegistryFixture fixture;
        CodeWatcherTableViewModel model(fixture.registry());
        QSignalSpy changed(&model, &CodeWatcherTableViewModel::changed);
        const QUuid id = QUuid::createUuid();
        NotificationCenter &center = NotificationCenter::shared();

        center.post(QStringLiteral("fileProcessingStarted"), {});
        center.post(QStringLiteral("fileProcessingStarted"),
                    {{QStringLiteral("watcherId"), id.toString()}}); // text, not an id
        center.post(QStringLiteral("fileProcessingComplete"),
                    {{QStringLiteral("watcherId"), QUuid::createUuid()}}); // not in the set
        center.post(QStringLiteral("fileProcessingStarted"), {{QStringLiteral("watcherId"), id}});
        QTRY_VERIFY(model.isProcessing(id));
        QCOMPARE(changed.size(), 1);

        // Overlapping deliveries: the first completion clears the mark.
        center.post(QStringLiteral("fileProcessingStarted"), {{QStringLiteral("watcherId"), id}});
        center.post(QStringLiteral("fileProcessingComplete"), {{QStringLiteral("watcherId"), id}});
        QTRY_VERIFY(!model.isProcessing(id));
    }

    void countChangesAskForARedraw()
    {
        RegistryFixture fixture;
        CodeWatcherTableViewModel model(fixture.registry());
        QSignalSpy changed(&model, &CodeWatcherTableViewModel::changed);
        CounterStore::shared().incrementCount(QUuid::createUuid());
        QCOMPARE(changed.size(), 1);
    }
};

SPRUCER_TEST_MAIN(TestCodeWatcherTableViewModel)
#include "TestCodeWatcherTableViewModel.moc"
