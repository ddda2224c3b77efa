// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ConfigManagerFactory.h"
#include "core/support/StoredForms.h"
#include "core/support/UserDefaults.h"
#include "support/LogFile.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QSignalSpy>

namespace {

QString readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void verifyNotFound(const Error &error)
{
    QCOMPARE(error.domain, QStringLiteral("ConfigManagerFactory"));
    QCOMPARE(error.code, 404);
    QCOMPARE(error.description, QStringLiteral("Configuration not found"));
}

} // namespace

class TestConfigManagerFactory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    void createWritesTheFileThenAppendsAndEveryStoreHearsOfIt()
    {
        ConfigManagerFactory store;
        QVERIFY(store.configs().isEmpty());
        QVERIFY(!UserDefaults::contains(ConfigManagerFactory::storageKey));
        verifyNotFound(store.configURL(QUuid::createUuid()).error());
        verifyNotFound(store.getConfig(QUuid::createUuid()).error());
        verifyNotFound(store.updateConfig(QUuid::createUuid(), QString(), QString()).error());
        ConfigManagerFactory other;
        QSignalSpy changed(&other, &ConfigManagerFactory::configsChanged);

        const QUuid kotlinId = QUuid::createUuid();
        const QString text = QStringLiteral("[*.{kt,kts}]\nindent_size = 4\n# naïve ✓\n");
        const auto created = store.createConfig(kotlinId, text, SupportedFileExtension::kotlin,
                                                QStringLiteral("Team style"));
        QVERIFY(created);

        const QString expectedPath = TestHome::current().dataDirectory() +
                                     QStringLiteral("/Sprucer/") + StoredForms::uuidText(kotlinId) +
                                     QStringLiteral(".yml");
        QCOMPARE(created.value().path, QUrl::fromLocalFile(expectedPath));
        QCOMPARE(readFile(expectedPath), text);

        // A second instance sees the same list, in creation order; names may repeat.
        const QUuid cppId = QUuid::createUuid();
        QVERIFY(store.createConfig(cppId, QStringLiteral("BasedOnStyle: LLVM\n"),
                                   SupportedFileExtension::cpp, QStringLiteral("Team style")));
        const QList<ConfigurationItem> items = ConfigManagerFactory().configs();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0].id, kotlinId);
        QCOMPARE(items[1].id, cppId);
        QCOMPARE(items[1].language, SupportedFileExtension::cpp);
        QVERIFY(items[1].path.toLocalFile().endsWith(QStringLiteral(".yml")));
        QCOMPARE(ConfigManagerFactory().configURL(cppId).value(), items[1].path);
        QTRY_COMPARE(changed.size(), 2);
    }

    void storedFormHasExactlyTheFiveKeys()
    {
        ConfigManagerFactory store;
        const QUuid id = QUuid::createUuid();
        QVERIFY(store.createConfig(id, QStringLiteral("x"), SupportedFileExtension::swift,
                                   QStringLiteral("S")));
        const QVariant stored = UserDefaults::value(ConfigManagerFactory::storageKey);
        QCOMPARE(stored.typeId(), QMetaType::QString);
        const QJsonObject object =
            QJsonDocument::fromJson(stored.toString().toUtf8()).array().first().toObject();
        QCOMPARE(object.keys(), (QStringList{QStringLiteral("createdAt"), QStringLiteral("id"),
                                             QStringLiteral("language"), QStringLiteral("name"),
                                             QStringLiteral("path")}));
        QCOMPARE(object.value(QStringLiteral("id")).toString(), StoredForms::uuidText(id));
        QCOMPARE(object.value(QStringLiteral("language")).toString(), QStringLiteral("swift"));
        const double age = StoredForms::dateNumber(QDateTime::currentDateTime()) -
                           object.value(QStringLiteral("createdAt")).toDouble();
        QVERIFY(age >= 0 && age < 60);

        // Every write of the list is logged with its full text.
        QVERIFY(LogFile::messages().contains(QStringLiteral("Returning ") + stored.toString()));
    }

    void readsTheOriginalEncodersForm()
    {
        UserDefaults::setValue(
            ConfigManagerFactory::storageKey,
            QStringLiteral(
                R"([{"language":"cpp","name":"Google","createdAt":786297600.5,)"
                R"("path":"file:\/\/\/Users\/me\/Library\/Application%20Support\/Sprucer\/)"
                R"(6F1C2A9E-3B4D-4E5F-8A7B-1C2D3E4F5A6B.yml","id":"6F1C2A9E-3B4D-4E5F-8A7B-1C2D3E4F5A6B"}])"));
        const QList<ConfigurationItem> items = ConfigManagerFactory().configs();
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].name, QStringLiteral("Google"));
        QCOMPARE(items[0].path.toLocalFile(),
                 QStringLiteral("/Users/me/Library/Application Support/Sprucer/"
                                "6F1C2A9E-3B4D-4E5F-8A7B-1C2D3E4F5A6B.yml"));
        QCOMPARE(StoredForms::dateNumber(items[0].createdAt), 786297600.5);
    }

    void updateRenamesInPlaceAndRewritesTheFile()
    {
        ConfigManagerFactory store;
        const QUuid first = QUuid::createUuid();
        const QUuid second = QUuid::createUuid();
        QVERIFY(store.createConfig(first, QStringLiteral("a"), SupportedFileExtension::swift,
                                   QStringLiteral("First")));
        QVERIFY(store.createConfig(second, QStringLiteral("b"), SupportedFileExtension::cpp,
                                   QStringLiteral("Second")));
        const ConfigurationItem before = store.getConfig(first).value();

        const auto updated =
            store.updateConfig(first, QStringLiteral("new text"), QStringLiteral("Renamed"));
        QVERIFY(updated);
        const QList<ConfigurationItem> items = store.configs();
        QCOMPARE(items[0].id, first);
        QCOMPARE(items[0].name, QStringLiteral("Renamed"));
        QCOMPARE(items[0].path, before.path);
        QCOMPARE(items[0].language, before.language);
        QCOMPARE(items[0].createdAt, before.createdAt);
        QCOMPARE(items[1].id, second);
        QCOMPARE(readFile(before.path.toLocalFile()), QStringLiteral("new text"));
    }

    void failedWritesLeaveTheListAlone()
    {
        ConfigManagerFactory store;
        const QUuid id = QUuid::createUuid();
        QVERIFY(store.createConfig(id, QStringLiteral("kept"), SupportedFileExtension::swift,
                                   QStringLiteral("Kept")));
        const QString folder = TestHome::current().dataDirectory() + QStringLiteral("/Sprucer/");

        // A directory where the file must go makes the write fail, even for root.
        const QUuid blockedId = QUuid::createUuid();
        QVERIFY(QDir().mkpath(folder + StoredForms::uuidText(blockedId) + QStringLiteral(".yml")));
        const auto created = store.createConfig(blockedId, QStringLiteral("lost"),
                                                SupportedFileExtension::cpp, QStringLiteral("X"));
        QVERIFY(!created);
        QVERIFY(LogFile::messages().last().startsWith(QStringLiteral("Error creating file: ")));
        QCOMPARE(store.configs().size(), 1);

        const QString keptPath = store.configs().first().path.toLocalFile();
        QVERIFY(QFile::remove(keptPath));
        QVERIFY(QDir().mkpath(keptPath));
        QVERIFY(!store.updateConfig(id, QStringLiteral("changed"), QStringLiteral("Y")));
        QCOMPARE(store.configs().size(), 1);
        QCOMPARE(store.configs().first().name, QStringLiteral("Kept"));
    }

    void corruptListReadsEmptyAndIsReplacedByTheNextCreate()
    {
        UserDefaults::setValue(ConfigManagerFactory::storageKey, QStringLiteral("[{\"id\":1}]"));
        ConfigManagerFactory store;
        QVERIFY(store.configs().isEmpty());
        QVERIFY(LogFile::messages().last().startsWith(QStringLiteral("Error: ")));
        // Reading never repairs the stored value by itself.
        QCOMPARE(UserDefaults::value(ConfigManagerFactory::storageKey).toString(),
                 QStringLiteral("[{\"id\":1}]"));

        QVERIFY(store.createConfig(QUuid::createUuid(), QStringLiteral("x"),
                                   SupportedFileExtension::kotlin, QStringLiteral("K")));
        QCOMPARE(store.configs().size(), 1);
    }
};

SPRUCER_TEST_MAIN(TestConfigManagerFactory)
#include "TestConfigManagerFactory.moc"
