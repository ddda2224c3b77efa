// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/SprucerLogger.h"
#include "core/support/StoredForms.h"
#include "core/support/UserDefaults.h"
#include "core/watching/SecurityScopedResourceManager.h"
#include "core/watching/WatcherListStore.h"
#include "support/LogFile.h"
#include "support/RegistryFixture.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>

namespace {

QList<CodeWatcherModel> storedWatchers()
{
    return WatcherListStore::decode(
               UserDefaults::value(QStringLiteral("monitoredPaths")).toByteArray())
        .value_or(QList<CodeWatcherModel>{});
}

} // namespace

class TestMonitorRegistry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        SprucerLogger::shared().flush();
        TestHome::current().reset();
    }

    void addingAnInactiveWatcherRegistersStoresAndSignals()
    {
        RegistryFixture fixture;
        SignalRecorder sent;
        const CodeWatcherModel watcher = fixture.makeWatcher(
            fixture.makeProject(QStringLiteral("app")), SupportedFileExtension::kotlin);

        QVERIFY(!fixture.registry().addWatcher(watcher));

        const MonitorEntry *entry = fixture.registry().entry(watcher.id);
        QVERIFY(entry);
        QCOMPARE(entry->watcher, watcher);
        QVERIFY(entry->id != watcher.id);
        QVERIFY(!entry->monitor->isRunning());
        QVERIFY(entry->fixer);
        QVERIFY(LogFile::messages().contains(QStringLiteral("Started monitoring: ") +
                                             StoredForms::urlText(watcher.url)));
        const QJsonArray stored =
            QJsonDocument::fromJson(
                UserDefaults::value(QStringLiteral("monitoredPaths")).toByteArray())
                .array();
        QCOMPARE(stored.size(), 2);
        QCOMPARE(sent.names(),
                 (QStringList{QStringLiteral("MonitorCount"), QStringLiteral("MonitorAdded")}));
        QCOMPARE(sent.received()[0].parameters.value(QStringLiteral("Count")), QStringLiteral("1"));
        QCOMPARE(sent.received()[1].parameters.value(QStringLiteral("kind")),
                 QStringLiteral("kotlin"));
        // The bookmark of the directory is stored under its path.
        QVERIFY(UserDefaults::value(SecurityScopedResourceManager::bookmarkKey)
                    .toMap()
                    .contains(SecurityScopedResourceManager::pathOf(watcher.url)));
    }

    void refusedRegistrationsLeaveNothingBehind()
    {
        RegistryFixture fixture;
        const QString project = fixture.makeProject(QStringLiteral("app"));
        CodeWatcherModel watcher = fixture.makeWatcher(project, SupportedFileExtension::cpp);
        QVERIFY(!fixture.registry().addWatcher(watcher));
        SignalRecorder sent;

        const Status duplicate = fixture.registry().addWatcher(watcher);
        QVERIFY(duplicate);
        QCOMPARE(duplicate->description, QStringLiteral("not implemented to update config"));

        CodeWatcherModel orphan = fixture.makeWatcher(project, SupportedFileExtension::cpp);
        orphan.configurationId = QUuid::createUuid();
        const Status missingConfiguration = fixture.registry().addWatcher(orphan);
        QVERIFY(missingConfiguration);
        QCOMPARE(missingConfiguration->code, 404);
        QCOMPARE(missingConfiguration->description, QStringLiteral("Configuration not found"));

        const CodeWatcherModel nowhere = fixture.makeWatcher(
            project + QStringLiteral("/does-not-exist"), SupportedFileExtension::cpp);
        QVERIFY(fixture.registry().addWatcher(nowhere));

        QCOMPARE(fixture.registry().monitors().size(), 1);
        QCOMPARE(storedWatchers().size(), 1);
        QVERIFY(sent.names().isEmpty());
    }

    void stoppingAndStartingKeepTheStoreInStep()
    {
        RegistryFixture fixture;
        const CodeWatcherModel watcher = fixture.makeWatcher(
            fixture.makeProject(QStringLiteral("app"),
                                {{QStringLiteral("a.swift"), QStringLiteral("// TODO: one\n")}}),
            SupportedFileExtension::swift, true);
        MonitorRegistry &registry = fixture.registry();
        QVERIFY(!registry.addWatcher(watcher));
        QVERIFY(registry.entry(watcher.id)->monitor->isRunning());
        QTRY_COMPARE(registry.entry(watcher.id)->markups.size(), 1);

        SignalRecorder sent;
        registry.stopWatcher(watcher);
        QVERIFY(registry.entry(watcher.id)->markups.isEmpty());
        QVERIFY(!registry.entry(watcher.id)->monitor->isRunning());
        QCOMPARE(storedWatchers().first().isActivated, false);
        QCOMPARE(sent.names(),
                 (QStringList{QStringLiteral("MonitorCount"), QStringLiteral("MonitorStopped")}));

        sent.clear();
        registry.startWatcher(watcher);
        QVERIFY(registry.entry(watcher.id)->monitor->isRunning());
        QCOMPARE(storedWatchers().first().isActivated, true);
        QCOMPARE(sent.names(), QStringList{QStringLiteral("MonitorCount")});
        QVERIFY(LogFile::messages().contains(QStringLiteral("Started monitoring from memory: ") +
                                             StoredForms::urlText(watcher.url)));
        // Started again, the tree is scanned anew; a second start does not scan it twice.
        QTRY_COMPARE(registry.entry(watcher.id)->markups.size(), 1);
        const auto scans = [] {
            return LogFile::messages()
                .filter(QStringLiteral("Running preliminary checks in "))
                .size();
        };
        const qsizetype scansBefore = scans();
        registry.startWatcher(watcher);
        QCOMPARE(scans(), scansBefore);
    }

    void failedStartLogsAndChangesNothing()
    {
        RegistryFixture fixture;
        const QString project = fixture.makeProject(QStringLiteral("gone"));
        const CodeWatcherModel watcher = fixture.makeWatcher(project, SupportedFileExtension::cpp);
        QVERIFY(!fixture.registry().addWatcher(watcher));
        QVERIFY(QDir(project).removeRecursively());
        const QByteArray before =
            UserDefaults::value(QStringLiteral("monitoredPaths")).toByteArray();

        fixture.registry().startWatcher(watcher);
        QVERIFY(LogFile::messages().contains(
            QStringLiteral("Failed to access monitored directory - access denied")));
        QCOMPARE(fixture.registry().entry(watcher.id)->watcher.isActivated, false);
        QCOMPARE(UserDefaults::value(QStringLiteral("monitoredPaths")).toByteArray(), before);
    }

    void globalActivationSwitchesEveryWatcher()
    {
        RegistryFixture fixture;
        MonitorRegistry &registry = fixture.registry();
        QList<CodeWatcherModel> watchers;
        for (int i = 0; i < 3; ++i) {
            watchers.append(fixture.makeWatcher(fixture.makeProject(QStringLiteral("p%1").arg(i)),
                                                SupportedFileExtension::cpp, i != 1));
            QVERIFY(!registry.addWatcher(watchers.last()));
        }
        SignalRecorder sent;
        registry.setGlobalActivation(false);
        QCOMPARE(sent.names(),
                 (QStringList{QStringLiteral("MonitorCount"), QStringLiteral("MonitorStopped"),
                              QStringLiteral("MonitorCount"), QStringLiteral("MonitorStopped"),
                              QStringLiteral("MonitorCount"), QStringLiteral("MonitorStopped"),
                              QStringLiteral("AppActivationChanged")}));
        QCOMPARE(sent.received().last().parameters.value(QStringLiteral("Active")),
                 QStringLiteral("false"));
        QCOMPARE(LogFile::messages().last(),
                 QStringLiteral("Sprucer global activation state changed to: inactive"));

        sent.clear();
        registry.setGlobalActivation(true);
        QCOMPARE(
            sent.names(),
            (QStringList{QStringLiteral("MonitorCount"), QStringLiteral("MonitorCount"),
                         QStringLiteral("MonitorCount"), QStringLiteral("AppActivationChanged")}));
        // Even the watcher switched off by hand runs again and is stored as activated.
        for (const CodeWatcherModel &stored : storedWatchers())
            QVERIFY(stored.isActivated);
        for (const MonitorEntry &entry : registry.monitors())
            QVERIFY(entry.monitor->isRunning());
    }

    void removingStopsStoresAndKeepsTheBookmark()
    {
        RegistryFixture fixture;
        const CodeWatcherModel watcher = fixture.makeWatcher(
            fixture.makeProject(QStringLiteral("app")), SupportedFileExtension::swift, true);
        QVERIFY(!fixture.registry().addWatcher(watcher));
        const std::shared_ptr<DirectoryMonitor> monitor =
            fixture.registry().entry(watcher.id)->monitor;
        SignalRecorder sent;

        fixture.registry().removeWatcher(watcher.id);
        fixture.registry().removeWatcher(watcher.id); // nothing the second time
        QVERIFY(!monitor->isRunning());
        QVERIFY(fixture.registry().monitors().isEmpty());
        QVERIFY(storedWatchers().isEmpty());
        QCOMPARE(sent.names(),
                 (QStringList{QStringLiteral("MonitorCount"), QStringLiteral("MonitorRemoved")}));
        QVERIFY(UserDefaults::value(SecurityScopedResourceManager::bookmarkKey)
                    .toMap()
                    .contains(SecurityScopedResourceManager::pathOf(watcher.url)));
    }

    void storedWatchersComeBackAndNoneIsLost()
    {
        RegistryFixture fixture;
        const CodeWatcherModel active = fixture.makeWatcher(
            fixture.makeProject(QStringLiteral("a")), SupportedFileExtension::cpp, true);
        const CodeWatcherModel inactive = fixture.makeWatcher(
            fixture.makeProject(QStringLiteral("b")), SupportedFileExtension::kotlin, false);
        // Its folder is missing for this run (an unplugged disk): it must stay stored.
        const CodeWatcherModel missing = fixture.makeWatcher(
            fixture.makeProject(QStringLiteral("c")) + QStringLiteral("/unplugged"),
            SupportedFileExtension::swift, true);
        WatcherListStore::save({active, inactive, missing});

        fixture.recreateRegistry();
        MonitorRegistry &registry = fixture.registry();
        QCOMPARE(registry.monitors().size(), 2);
        QVERIFY(registry.entry(active.id)->monitor->isRunning());
        QVERIFY(!registry.entry(inactive.id)->monitor->isRunning());
        QCOMPARE(storedWatchers().size(), 3);

        registry.removeWatcher(inactive.id);
        const QList<CodeWatcherModel> stored = storedWatchers();
        QCOMPARE(stored.size(), 2);
        QVERIFY(std::any_of(stored.cbegin(), stored.cend(),
                            [&](const CodeWatcherModel &w) { return w.id == missing.id; }));
    }
};

SPRUCER_TEST_MAIN(TestMonitorRegistry)
#include "TestMonitorRegistry.moc"
