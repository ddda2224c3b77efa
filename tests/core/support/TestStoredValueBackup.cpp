// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ConfigManagerFactory.h"
#include "core/stats/CodeFixStatistics.h"
#include "core/stats/CounterStore.h"
#include "core/support/UserDefaults.h"
#include "core/watching/SecurityScopedResourceManager.h"
#include "core/watching/WatcherListStore.h"
#include "support/LogFile.h"
#include "support/TestMain.h"

#include <QDir>
#include <QSettings>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

// Reads a store, writes through it once, and names what a fresh read then finds.
using Scenario = std::function<QStringList()>;

// What the backups of a key hold.
QVariantList backups(const QString &key)
{
    const QDir folder = QFileInfo(TestHome::settings().fileName()).absoluteDir();
    QVariantList values;
    for (const QFileInfo &file : folder.entryInfoList({key + u"-*.backup"_s}))
        values << QSettings(file.filePath(), QSettings::IniFormat).value(key);
    return values;
}

template <typename List, typename Name>
QStringList names(const List &list, Name name)
{
    QStringList names;
    for (const auto &item : list)
        names << name(item);
    return names;
}

CodeWatcherModel watcher(const QString &name, SupportedFileExtension kind)
{
    return CodeWatcherModel::make(name, QUrl::fromLocalFile(u"/src/"_s + name), kind, {});
}

} // namespace

Q_DECLARE_METATYPE(Scenario)

// Each stored list or dictionary, given a value of which one entry does not decode: the others
// survive the next write, and the value is backed up before it.
class TestStoredValueBackup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    void aDamagedValueKeepsItsGoodEntriesAndIsBackedUp_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<Scenario>("scenario");
        QTest::addColumn<QStringList>("expected");
        using Kind = SupportedFileExtension;

        const QByteArray watchers = WatcherListStore::encode(
            {watcher(u"Kept"_s, Kind::cpp), watcher(u"Lost"_s, Kind::kotlin)});
        QTest::newRow("watchers") << WatcherListStore::userDefaultsKeyForWatchers
                                  << QVariant(QByteArray(watchers).replace("kotlin", "java"))
                                  << Scenario([] {
                                         WatcherListStore store{TestHome::settings()};
                                         store.load();
                                         store.save({watcher(u"New"_s, Kind::swift)});
                                         return names(WatcherListStore(TestHome::settings()).load(),
                                                      [](const auto &w) { return w.name; });
                                     })
                                  << QStringList{u"New"_s, u"Kept"_s};
        QTest::newRow("counters")
            << CounterStore::counterKey
            << QVariant(R"([{"id":"x"},{"fixedCount":41,"id":")" +
                        QUuid::createUuid().toString(QUuid::WithoutBraces).toUtf8() + R"("}])")
            << Scenario([] {
                   CounterStore store{TestHome::settings()}, again{TestHome::settings()};
                   store.incrementCount(QUuid::createUuid());
                   const CounterStore fresh{TestHome::settings()};
                   return names(fresh.fixedCount(),
                                [](const auto &c) { return QString::number(c.fixedCount); });
               })
            << QStringList{u"41"_s, u"1"_s};
        QTest::newRow("daily statistics")
            << CodeFixStatistics::storageKey
            << QVariant(QByteArray(R"([{"count":5,"date":818121600,"language":"C++"},)"
                                   R"({"count":"6","date":818121600,"language":"Swift"}])"))
            << Scenario([] {
                   CodeFixStatistics statistics{TestHome::settings()}, again{TestHome::settings()};
                   statistics.recordFix(u"Kotlin"_s);
                   const CodeFixStatistics fresh{TestHome::settings()};
                   return names(fresh.dailyFixes(), [](const auto &fix) { return fix.language; });
               })
            << QStringList{u"C++"_s, u"Kotlin"_s};
        const ConfigurationItem kept{QUuid::createUuid(), u"Kept"_s,
                                     QUrl::fromLocalFile(u"/kept.yml"_s), Kind::cpp,
                                     QDateTime::fromSecsSinceEpoch(0)};
        QTest::newRow("configurations")
            << ConfigManagerFactory::storageKey
            << QVariant(u"[1,"_s + QString::fromUtf8(ConfigManagerFactory::encode({kept}).mid(1)))
            << Scenario([] {
                   ConfigManagerFactory store{TestHome::settings()};
                   store.createConfig(QUuid::createUuid(), u"text"_s, Kind::cpp, u"New"_s);
                   return names(store.configs(), [](const auto &item) { return item.name; });
               })
            << QStringList{u"Kept"_s, u"New"_s};
        QTest::newRow("bookmarks")
            << SecurityScopedResourceManager::bookmarkKey
            << QVariant(QVariantMap{{u"/kept"_s, QByteArray("k")}, {u"/lost"_s, 42}})
            << Scenario([] {
                   SecurityScopedResourceManager manager{TestHome::settings()};
                   manager.resolveBookmark(u"/kept"_s);
                   manager.saveBookmark(QUrl::fromLocalFile(u"/"_s));
                   return TestHome::settings()
                       .value(SecurityScopedResourceManager::bookmarkKey)
                       .toMap()
                       .keys();
               })
            << QStringList{u"/"_s, u"/kept"_s};
    }

    void aDamagedValueKeepsItsGoodEntriesAndIsBackedUp()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(Scenario, scenario);
        QFETCH(QStringList, expected);
        TestHome::settings().setValue(key, stored);
        QCOMPARE(scenario(), expected);
        QCOMPARE(backups(key), QVariantList{stored});
        QCOMPARE(LogFile::messages().filter(u'"' + key + u'"').size(), 1);
    }

    // Two in one second each get a file of their own.
    void eachDamagedValueHasItsOwnBackup()
    {
        const QVariantList damaged{QByteArray("[1"), QByteArray("[2")};
        for (const QVariant &value : damaged) {
            TestHome::settings().setValue(CounterStore::counterKey, value);
            CounterStore store{TestHome::settings()};
        }
        const QVariantList kept = backups(CounterStore::counterKey);
        QVERIFY(kept.size() == 2 && kept.contains(damaged[0]) && kept.contains(damaged[1]));
    }
};

SPRUCER_TEST_MAIN(TestStoredValueBackup)
#include "TestStoredValueBackup.moc"
