// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/StoredForms.h"
#include "core/support/UserDefaults.h"
#include "core/watching/WatcherListStore.h"
#include "support/TestMain.h"

#include <QJsonArray>

namespace {

CodeWatcherModel sampleWatcher(const QString &name, SupportedFileExtension kind)
{
    return CodeWatcherModel::make(name, QUrl::fromLocalFile(QStringLiteral("/home/me/My Project/")),
                                  kind, QUuid::createUuid());
}

// A watcher object as the original encoder wrote it: escaped slashes, its own key order.
const QByteArray kOriginalForm =
    R"(["0B1F3C44-5E2A-4B7D-9C1E-2F3A4B5C6D7E",{"configurationId":"A1B2C3D4-E5F6-4A1B-8C2D-3E4F5A6B7C8D",)"
    R"("isActivated":false,"id":"0B1F3C44-5E2A-4B7D-9C1E-2F3A4B5C6D7E","codeKind":"objectivec",)"
    R"("url":"file:\/\/\/Users\/me\/Code\/App%20One\/","name":"App One"}])";

} // namespace

class TestWatcherListStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    void twoWatchersAreStoredAsFourCompactElements()
    {
        CodeWatcherModel first = sampleWatcher(QStringLiteral("One"), SupportedFileExtension::cpp);
        CodeWatcherModel second =
            sampleWatcher(QStringLiteral("Two"), SupportedFileExtension::kotlin);
        second.configFileUrl = QUrl::fromLocalFile(QStringLiteral("/etc/style.yml"));
        const QByteArray json = WatcherListStore::encode({first, second});

        QVERIFY(!json.contains('\n'));
        QVERIFY(!json.contains(" \"")); // compact
        QVERIFY(json.contains(R"(file:\/\/\/home\/me\/My%20Project\/)"));
        const QJsonArray array = QJsonDocument::fromJson(json).array();
        QCOMPARE(array.size(), 4);
        QCOMPARE(array[0].toString(), StoredForms::uuidText(first.id));
        QCOMPARE(array[2].toString(), StoredForms::uuidText(second.id));
        QVERIFY(!array[1].toObject().contains(QStringLiteral("configFileUrl")));
        QCOMPARE(array[3].toObject().value(QStringLiteral("configFileUrl")).toString(),
                 QStringLiteral("file:///etc/style.yml"));

        QCOMPARE(WatcherListStore::decode(json), (QList<CodeWatcherModel>{first, second}));
        QCOMPARE(WatcherListStore::encode({}), QByteArray("[]"));
    }

    void readsTheOriginalEncodersForm()
    {
        const auto watchers = WatcherListStore::decode(kOriginalForm);
        QVERIFY(watchers);
        QCOMPARE(watchers->size(), 1);
        const CodeWatcherModel &watcher = watchers->first();
        QCOMPARE(watcher.name, QStringLiteral("App One"));
        QCOMPARE(watcher.url.toLocalFile(), QStringLiteral("/Users/me/Code/App One/"));
        QCOMPARE(watcher.codeKind, SupportedFileExtension::objectivec);
        QCOMPARE(watcher.isActivated, false);
        QVERIFY(!watcher.configFileUrl);
        QCOMPARE(StoredForms::uuidText(watcher.configurationId),
                 QStringLiteral("A1B2C3D4-E5F6-4A1B-8C2D-3E4F5A6B7C8D"));
    }

    void anyFaultRejectsTheWholeList_data()
    {
        QTest::addColumn<QByteArray>("json");
        const QByteArray good = kOriginalForm.chopped(1);
        QTest::newRow("unknown language")
            << QByteArray(kOriginalForm).replace("objectivec", "java");
        QTest::newRow("missing configurationId")
            << QByteArray(kOriginalForm)
                   .replace(R"("configurationId":"A1B2C3D4-E5F6-4A1B-8C2D-3E4F5A6B7C8D",)", "");
        QTest::newRow("odd element count") << good + R"(,"0B1F3C44-5E2A-4B7D-9C1E-2F3A4B5C6D7E"])";
        QTest::newRow("key not id text")
            << QByteArray(kOriginalForm)
                   .replace(R"(["0B1F3C44-5E2A-4B7D-9C1E-2F3A4B5C6D7E")", R"(["watcher")");
        QTest::newRow("activation as string")
            << QByteArray(kOriginalForm).replace("false", "\"false\"");
        QTest::newRow("mistyped configFileUrl")
            << QByteArray(kOriginalForm).replace(R"("name")", R"("configFileUrl":7,"name")");
        QTest::newRow("not an array") << QByteArray("{}");
        QTest::newRow("garbage") << QByteArray("\x01\x02");
    }
    void anyFaultRejectsTheWholeList()
    {
        QFETCH(QByteArray, json);
        // A valid first watcher must not be loaded on its own either.
        const CodeWatcherModel valid =
            sampleWatcher(QStringLiteral("V"), SupportedFileExtension::swift);
        QByteArray list = WatcherListStore::encode({valid});
        list.chop(1);
        list += ',' + json.mid(1);
        if (!json.startsWith('['))
            list = json;
        QVERIFY(!WatcherListStore::decode(list));
    }

    // A watcher not registered since it was loaded (its folder is away) is stored back.
    void loadedWatchersStayUntilRegistered()
    {
        WatcherListStore store;
        QVERIFY(store.load().isEmpty());
        const CodeWatcherModel a =
            sampleWatcher(QStringLiteral("A"), SupportedFileExtension::swift);
        const CodeWatcherModel b = sampleWatcher(QStringLiteral("B"), SupportedFileExtension::cpp);
        store.save({a, b});
        QCOMPARE(UserDefaults::value(WatcherListStore::userDefaultsKeyForWatchers).typeId(),
                 QMetaType::QByteArray);

        WatcherListStore relaunched;
        QCOMPARE(relaunched.load(), (QList<CodeWatcherModel>{a, b}));
        relaunched.save({b});
        QCOMPARE(WatcherListStore().load(), (QList<CodeWatcherModel>{b, a}));
        relaunched.save({}); // b registered, then removed: gone; a never registered: kept
        QCOMPARE(WatcherListStore().load(), QList<CodeWatcherModel>{a});

        // An undecodable value reads as empty and is left alone until the next save.
        UserDefaults::setValue(WatcherListStore::userDefaultsKeyForWatchers, QByteArray("[1"));
        QVERIFY(WatcherListStore().load().isEmpty());
        QCOMPARE(UserDefaults::value(WatcherListStore::userDefaultsKeyForWatchers).toByteArray(),
                 QByteArray("[1"));
    }
};

SPRUCER_TEST_MAIN(TestWatcherListStore)
#include "TestWatcherListStore.moc"
