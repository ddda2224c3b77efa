// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/StoredForms.h"
#include "core/support/UserDefaults.h"
#include "core/watching/WatcherListStore.h"
#include "support/TestMain.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

namespace {

CodeWatcherModel sample(SupportedFileExtension kind = SupportedFileExtension::cpp)
{
    return CodeWatcherModel::make(u"W"_s, QUrl::fromLocalFile(u"/home/me/My Project/"_s), kind,
                                  QUuid::createUuid());
}

// A watcher as the original encoder wrote it: escaped slashes, its own key order.
const QByteArray kOriginalForm =
    R"(["0B1F3C44-5E2A-4B7D-9C1E-2F3A4B5C6D7E",{"configurationId":"A1B2C3D4-E5F6-4A1B-8C2D-3E4F5A6B7C8D",)"
    R"("isActivated":false,"id":"0B1F3C44-5E2A-4B7D-9C1E-2F3A4B5C6D7E","codeKind":"objectivec",)"
    R"("url":"file:\/\/\/Users\/me\/Code\/App%20One\/","name":"App One"}])";

QByteArray stored()
{
    return TestHome::settings().value(WatcherListStore::userDefaultsKeyForWatchers).toByteArray();
}

} // namespace

class TestWatcherListStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    void theStoredFormIsCompactPairsOfIdAndWatcher()
    {
        const CodeWatcherModel first = sample();
        CodeWatcherModel second = sample(SupportedFileExtension::kotlin);
        second.configFileUrl = QUrl::fromLocalFile(u"/etc/style.yml"_s);
        const QByteArray json = WatcherListStore::encode({first, second});
        QVERIFY(!json.contains('\n') && !json.contains(" \""));
        QVERIFY(json.contains(R"(file:\/\/\/home\/me\/My%20Project\/)"));
        const QJsonArray array = QJsonDocument::fromJson(json).array();
        QCOMPARE(array.size(), 4);
        QCOMPARE(array[2].toString(), StoredForms::uuidText(second.id));
        QVERIFY(!array[1].toObject().contains(u"configFileUrl"_s));
        QCOMPARE(WatcherListStore::decode(json).items, (QList<CodeWatcherModel>{first, second}));

        const QList<CodeWatcherModel> original = WatcherListStore::decode(kOriginalForm).items;
        QCOMPARE(original.size(), 1);
        QCOMPARE(original.first().url.toLocalFile(), u"/Users/me/Code/App One/"_s);
        QCOMPARE(original.first().codeKind, SupportedFileExtension::objectivec);
        QCOMPARE(original.first().isActivated, false);
    }

    void aFaultDropsOnlyItsWatcher_data()
    {
        QTest::addColumn<QByteArray>("fault");
        QTest::addColumn<QByteArray>("replacement");
        QTest::addColumn<int>("kept");
        QTest::newRow("unknown language") << QByteArray("objectivec") << QByteArray("java") << 1;
        QTest::newRow("missing configurationId")
            << QByteArray(R"("configurationId":"A1B2C3D4-E5F6-4A1B-8C2D-3E4F5A6B7C8D",)")
            << QByteArray() << 1;
        QTest::newRow("odd element count")
            << QByteArray(R"("App One"}])") << QByteArray(R"("App One"},"x"])") << 2;
        QTest::newRow("key not id text")
            << QByteArray(R"("0B1F3C44-5E2A-4B7D-9C1E-2F3A4B5C6D7E",{)") << QByteArray(R"("w",{)")
            << 1;
        QTest::newRow("activation as string")
            << QByteArray("false") << QByteArray("\"false\"") << 1;
        QTest::newRow("mistyped configFileUrl in both")
            << QByteArray(R"("name")") << QByteArray(R"("configFileUrl":7,"name")") << 0;
        QTest::newRow("not an array") << QByteArray() << QByteArray("{}") << 0;
    }

    // A fault drops its own watcher only; the pairs after a stray element realign.
    void aFaultDropsOnlyItsWatcher()
    {
        QFETCH(QByteArray, fault);
        QFETCH(QByteArray, replacement);
        QFETCH(int, kept);
        const CodeWatcherModel valid = sample();
        QByteArray list = WatcherListStore::encode({valid}).chopped(1) + ',' + kOriginalForm.mid(1);
        QVERIFY(WatcherListStore::decode(list).whole());
        const SalvagedList<CodeWatcherModel> read = WatcherListStore::decode(
            fault.isEmpty() ? replacement : list.replace(fault, replacement));
        QVERIFY(!read.whole());
        QCOMPARE(read.items.size(), kept);
        QVERIFY(kept == 0 || read.items.first() == valid);
    }

    // Registered or not, a watcher that was read stays until the next save (see the registry's
    // test for those not registered); an undecodable value is left alone until then too.
    void anUndecodableValueReadsEmptyAndStays()
    {
        TestHome::settings().setValue(WatcherListStore::userDefaultsKeyForWatchers,
                                      QByteArray("[1"));
        QVERIFY(WatcherListStore(TestHome::settings()).load().isEmpty());
        QCOMPARE(stored(), QByteArray("[1"));
    }
};

SPRUCER_TEST_MAIN(TestWatcherListStore)
#include "TestWatcherListStore.moc"
