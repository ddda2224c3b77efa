// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stats/CounterStore.h"
#include "core/support/UserDefaults.h"
#include "support/TestMain.h"

#include <QSignalSpy>

class TestCounterStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    void firstFixCreatesOneRecordAndLeavesOthersAlone()
    {
        const QUuid a = QUuid::createUuid();
        const QUuid b = QUuid::createUuid();
        CounterStore store;
        QSignalSpy changed(&store, &CounterStore::fixedCountChanged);
        store.incrementCount(a);
        store.incrementCount(a);
        store.incrementCount(b);
        QCOMPARE(changed.size(), 3);
        QCOMPARE(store.fixedCount(), (QList<CodeCounterModel>{{a, 2}, {b, 1}}));

        // A restart reads back the same list, in order of first count.
        CounterStore reloaded;
        QCOMPARE(reloaded.fixedCount(), store.fixedCount());
        QCOMPARE(reloaded.countFor(b), 1);
        QCOMPARE(reloaded.countFor(QUuid::createUuid()), 0);
    }

    void readsTheOriginalEncodersForm()
    {
        UserDefaults::setValue(
            CounterStore::counterKey,
            QByteArray(R"([{"fixedCount":41,"id":"6F1C2A9E-3B4D-4E5F-8A7B-1C2D3E4F5A6B"}])"));
        CounterStore store;
        const QUuid id = QUuid::fromString(QStringLiteral("6f1c2a9e-3b4d-4e5f-8a7b-1c2d3e4f5a6b"));
        QCOMPARE(store.countFor(id), 41);
        store.incrementCount(id);
        QCOMPARE(UserDefaults::value(CounterStore::counterKey).toByteArray(),
                 QByteArray(R"([{"fixedCount":42,"id":"6F1C2A9E-3B4D-4E5F-8A7B-1C2D3E4F5A6B"}])"));
    }

    void garbageReadsEmptyAndIsReplacedAtTheNextFix()
    {
        UserDefaults::setValue(CounterStore::counterKey, QByteArray("[{\"id\":\"x\"}]"));
        CounterStore store;
        QVERIFY(store.fixedCount().isEmpty());
        const QUuid id = QUuid::createUuid();
        store.incrementCount(id);
        QCOMPARE(CounterStore().fixedCount(), (QList<CodeCounterModel>{{id, 1}}));
    }
};

SPRUCER_TEST_MAIN(TestCounterStore)
#include "TestCounterStore.moc"
