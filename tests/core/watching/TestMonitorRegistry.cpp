// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/MarkupIndex.h"
#include "core/stats/CounterStore.h"
#include "core/support/NotificationCenter.h"
#include "core/support/StoredForms.h"
#include "core/support/UserDefaults.h"
#include "core/watching/SecurityScopedResourceManager.h"
#include "core/watching/WatcherListStore.h"
#include "support/CoreFixture.h"
#include "support/LogFile.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSemaphore>
#include <QSignalSpy>
#include <QThreadPool>

using namespace Qt::StringLiterals;

namespace {

QList<CodeWatcherModel> storedWatchers()
{
    return WatcherListStore::decode(TestHome::settings()
                                        .value(WatcherListStore::userDefaultsKeyForWatchers)
                                        .toByteArray())
        .items;
}

bool bookmarked(const QString &path)
{
    return TestHome::settings()
        .value(SecurityScopedResourceManager::bookmarkKey)
        .toMap()
        .contains(path);
}

QByteArray bookmarkOf(const QString &path)
{
    return TestHome::settings()
        .value(SecurityScopedResourceManager::bookmarkKey)
        .toMap()
        .value(path)
        .toByteArray();
}

void storeBookmark(const QString &path, const QByteArray &bookmark)
{
    QVariantMap bookmarks =
        TestHome::settings().value(SecurityScopedResourceManager::bookmarkKey).toMap();
    bookmarks.insert(path, bookmark);
    TestHome::settings().setValue(SecurityScopedResourceManager::bookmarkKey, bookmarks);
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// A watcher's findings as the TODO screen reads them: "file:line:type:text", in list order.
QStringList listedMarkups(const MarkupIndex &markups, const QUuid &watcherId)
{
    QStringList listed;
    for (const Markup &markup : markups.of(watcherId).toList())
        listed.append(u"%1:%2:%3:%4"_s.arg(QFileInfo(markup.filePath).fileName())
                          .arg(markup.line)
                          .arg(markup.type, markup.text));
    return listed;
}

// Holds every thread of the shared pool, where trees are scanned, until it goes.
class HeldSharedPool
{
public:
    HeldSharedPool()
        : m_threads(QThreadPool::globalInstance()->maxThreadCount())
    {
        for (int i = 0; i < m_threads; ++i) {
            QThreadPool::globalInstance()->start([this] {
                m_holding.release();
                m_gate.acquire();
            });
        }
        m_holding.acquire(m_threads);
    }
    ~HeldSharedPool() { release(); }
    void release() { m_gate.release(std::exchange(m_threads, 0)); }

private:
    int m_threads;
    QSemaphore m_holding;
    QSemaphore m_gate;
};

} // namespace

class TestMonitorRegistry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    void registeringRefusingAndRemovingKeepTheStoreAndTheBookmarks()
    {
        CoreFixture fixture;
        const QString project = fixture.makeProject(u"app"_s);
        const CodeWatcherModel watcher =
            fixture.makeWatcher(project, SupportedFileExtension::kotlin);
        MonitorRegistry &registry = fixture.registry();
        QVERIFY(registry.addWatcher(watcher));

        const MonitorEntry *entry = registry.entry(watcher.id);
        QVERIFY(entry && entry->fixer && entry->id != watcher.id);
        QCOMPARE(entry->watcher, watcher);
        QVERIFY(!entry->monitor->isRunning()); // registered inactive: no stream
        QVERIFY(LogFile::messages().contains(u"Started monitoring: "_s +
                                             StoredForms::urlText(watcher.url)));
        QCOMPARE(storedWatchers(), QList<CodeWatcherModel>{watcher});
        QCOMPARE(fixture.sentSignals(),
                 (QStringList{u"MonitorCount:Count=1"_s, u"MonitorAdded:kind=kotlin"_s}));
        QVERIFY(bookmarked(project));

        // Refused registrations leave nothing behind.
        fixture.clearSentSignals();
        using Kind = AddWatcherError::Kind;
        const AddWatcherResult twice = registry.addWatcher(watcher);
        QVERIFY(!twice && twice.error().kind == Kind::alreadyRegistered);
        QCOMPARE(twice.error().error.description, u"not implemented to update config"_s);
        CodeWatcherModel orphan = fixture.makeWatcher(project, SupportedFileExtension::cpp);
        orphan.configurationId = QUuid::createUuid();
        const AddWatcherResult orphaned = registry.addWatcher(orphan);
        QVERIFY(!orphaned && orphaned.error().kind == Kind::configurationGone);
        QCOMPARE(orphaned.error().error, ConfigManagerFactory::notFoundError());
        const AddWatcherResult missing = registry.addWatcher(
            fixture.makeWatcher(project + u"/missing"_s, SupportedFileExtension::cpp, true));
        QVERIFY(!missing && missing.error().kind == Kind::folderRefused);
        QCOMPARE(registry.monitors().size(), 1);
        QVERIFY(fixture.sentSignals().isEmpty());

        const std::shared_ptr<DirectoryMonitor> monitor = entry->monitor;
        QVERIFY(registry.startWatcher(watcher));
        fixture.clearSentSignals();
        QVERIFY(registry.removeWatcher(watcher.id));
        QVERIFY(!registry.removeWatcher(watcher.id)); // nothing left to remove
        QVERIFY(!monitor->isRunning());
        QVERIFY(registry.monitors().isEmpty() && storedWatchers().isEmpty());
        QCOMPARE(fixture.sentSignals(),
                 (QStringList{u"MonitorCount:Count=0"_s, u"MonitorRemoved"_s}));
        QVERIFY(bookmarked(project));
    }

    void stoppingAndStartingKeepTheStoreInStep()
    {
        CoreFixture fixture;
        const QString project =
            fixture.makeProject(u"app"_s, {{u"a.swift"_s, u"// TODO: one\n"_s}});
        const CodeWatcherModel watcher =
            fixture.makeWatcher(project, SupportedFileExtension::swift, true);
        MonitorRegistry &registry = fixture.registry();
        QVERIFY(registry.addWatcher(watcher));
        QTRY_COMPARE(fixture.core().markups().of(watcher.id).size(), 1);

        fixture.clearSentSignals();
        QVERIFY(registry.stopWatcher(watcher));
        QVERIFY(fixture.core().markups().of(watcher.id).isEmpty());
        QVERIFY(!registry.entry(watcher.id)->monitor->isRunning());
        QCOMPARE(storedWatchers().first().isActivated, false);
        QCOMPARE(fixture.sentSignals(),
                 (QStringList{u"MonitorCount:Count=1"_s, u"MonitorStopped"_s}));

        // Started again, the tree is scanned anew; a second start does not scan it twice.
        QVERIFY(registry.startWatcher(watcher));
        QVERIFY(registry.startWatcher(watcher));
        QTRY_COMPARE(fixture.core().markups().of(watcher.id).size(), 1);
        QVERIFY(registry.entry(watcher.id)->monitor->isRunning());
        QCOMPARE(storedWatchers().first().isActivated, true);
        QVERIFY(LogFile::messages().contains(u"Started monitoring from memory: "_s +
                                             StoredForms::urlText(watcher.url)));

        // Another configuration is stored and the watcher goes on running; one that is gone is
        // refused and changes nothing.
        const QUuid other = QUuid::createUuid();
        fixture.configurations().createConfig(other, u"indent: 2\n"_s,
                                              SupportedFileExtension::swift, u"Other"_s);
        QVERIFY(registry.changeConfiguration(watcher.id, other));
        QCOMPARE(storedWatchers().first().configurationId, other);
        QVERIFY(registry.entry(watcher.id)->monitor->isRunning());
        QVERIFY(!registry.changeConfiguration(watcher.id, QUuid::createUuid()));
        QCOMPARE(registry.entry(watcher.id)->watcher.configurationId, other);

        // A start that fails is logged, returned, and changes nothing.
        QVERIFY(registry.stopWatcher(watcher));
        QVERIFY(QDir(project).removeRecursively());
        const QByteArray before =
            TestHome::settings().value(WatcherListStore::userDefaultsKeyForWatchers).toByteArray();
        const Result<void> started = registry.startWatcher(watcher);
        const QString denied = u"Failed to access monitored directory - access denied"_s;
        QVERIFY(!started);
        QCOMPARE(started.error().description, denied);
        QVERIFY(LogFile::messages().contains(denied));
        QCOMPARE(registry.entry(watcher.id)->watcher.isActivated, false);
        QCOMPARE(
            TestHome::settings().value(WatcherListStore::userDefaultsKeyForWatchers).toByteArray(),
            before);
    }

    // The menu's switch pauses every watcher and resumes exactly those whose own switch is on;
    // neither way is anything stored, so each stored switch stays the user's choice.
    void globalActivationPausesAndResumesWithoutStoring()
    {
        CoreFixture fixture;
        MonitorRegistry &registry = fixture.registry();
        QList<CodeWatcherModel> watchers;
        for (int i = 0; i < 3; ++i) {
            watchers.append(fixture.makeWatcher(fixture.makeProject(u"p%1"_s.arg(i)),
                                                SupportedFileExtension::cpp, i < 2));
            QVERIFY(registry.addWatcher(watchers.last()));
        }
        QSignalSpy announced(&registry, &MonitorRegistry::monitorsChanged);
        QVERIFY(announced.wait());
        fixture.clearSentSignals();
        announced.clear();
        const QByteArray stored =
            TestHome::settings().value(WatcherListStore::userDefaultsKeyForWatchers).toByteArray();

        QVERIFY(registry.setGlobalActivation(false).isEmpty());
        QVERIFY(registry.isPaused());
        QCOMPARE(fixture.sentSignals().count(u"MonitorStopped"_s), 2);
        QCOMPARE(fixture.sentSignals().last(), u"AppActivationChanged:Active=false"_s);
        QCOMPARE(LogFile::messages().last(),
                 u"Sprucer global activation state changed to: inactive"_s);
        QVERIFY(announced.wait());
        QCoreApplication::processEvents();
        QCOMPARE(announced.size(), 1);
        for (const CodeWatcherModel &watcher : watchers)
            QVERIFY(!registry.entry(watcher.id)->monitor->isRunning());
        QCOMPARE(
            TestHome::settings().value(WatcherListStore::userDefaultsKeyForWatchers).toByteArray(),
            stored);
        QCOMPARE(storedWatchers()[0].isActivated, true);

        // Paused, a switch turned on is stored and waits for the resume; nothing is run.
        QVERIFY(registry.startWatcher(watchers[2]));
        QVERIFY(storedWatchers()[2].isActivated);
        QVERIFY(!registry.entry(watchers[2].id)->monitor->isRunning());
        QVERIFY(!registry.runFixers(watchers[0].id));

        // On: those switched on run again; a missing folder is returned to the caller and its
        // watcher stays stored as the user left it.
        QVERIFY(QDir(fixture.makeProject(u"p1"_s)).removeRecursively());
        const QList<MonitorRegistry::WatcherFailure> failures = registry.setGlobalActivation(true);
        QCOMPARE(failures.size(), 1);
        QCOMPARE(failures.first().watcher.id, watchers[1].id);
        QVERIFY(registry.entry(watchers[0].id)->monitor->isRunning());
        QVERIFY(registry.entry(watchers[2].id)->monitor->isRunning());
        const QList<CodeWatcherModel> after = storedWatchers();
        QVERIFY(after[0].isActivated && after[1].isActivated && after[2].isActivated);
    }

    void savesAndRunFixersReachTheFixerOnceAnnouncedOncePerDelivery()
    {
        CoreFixture fixture(std::chrono::milliseconds(100));
        const QString project = fixture.makeProject(
            u"app"_s, {{u"old.cpp"_s, u"// TODO: a\n"_s}, {u"notes.txt"_s, QString()}});
        const CodeWatcherModel watcher =
            fixture.makeWatcher(project, SupportedFileExtension::cpp, true);
        MonitorRegistry &registry = fixture.registry();
        QVERIFY(registry.addWatcher(watcher));
        QTRY_COMPARE(fixture.core().markups().of(watcher.id).size(), 1); // the tree's scan
        QCoreApplication::processEvents();
        QSignalSpy announced(&registry, &MonitorRegistry::monitorsChanged);
        QSignalSpy completed(&fixture.core().notifications(),
                             &NotificationCenter::fileProcessingComplete);
        QSignalSpy released(&fixture.core().pipeline(), &FixPipeline::processedFilesReleased);

        QStringList saved;
        for (const QString &name : {u"a.cpp"_s, u"b.h"_s}) {
            saved.append(project + u'/' + name);
            QFile file(saved.last());
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("// TODO: x\n") > 0);
        }
        const auto fixer = fixture.fixerFor(watcher.id);
        QTRY_COMPARE(fixer->fixedFiles().size(), 2);
        QCOMPARE(QSet<QString>(fixer->fixedFiles().cbegin(), fixer->fixedFiles().cend()),
                 QSet<QString>(saved.cbegin(), saved.cend()));
        QTRY_COMPARE(fixture.core().counters().countFor(watcher.id), 2);
        QTRY_COMPARE(fixture.core().markups().of(watcher.id).size(), 3);
        QTRY_COMPARE(announced.size(), completed.size());

        // Run Fixers reports the whole tree on the main thread; the pipeline takes it from there.
        QTRY_COMPARE(released.size(), completed.size());
        QVERIFY(registry.runFixers(watcher.id));
        QTRY_COMPARE(fixer->fixedFiles().size(), 5);
        QVERIFY(fixer->fixedFiles().contains(project + u"/old.cpp"_s));
    }

    // Over nested folders, a file both watchers take is the inner watcher's, whichever was
    // registered first and whether it runs or not: its saves, its "Run Fixers" and its notes.
    // A file the inner watcher's language does not take stays with the outer one.
    void theDeepestWatcherOwnsTheFilesItShares()
    {
        CoreFixture fixture(std::chrono::milliseconds(100));
        const QString outerRoot =
            fixture.makeProject(u"outer"_s, {{u"inner/old.cpp"_s, u"// TODO: inner\n"_s},
                                             {u"kotlin/a.cpp"_s, QString()},
                                             {u"top.cpp"_s, u"// TODO: outer\n"_s}});
        const CodeWatcherModel inner =
            fixture.makeWatcher(outerRoot + u"/inner"_s, SupportedFileExtension::cpp, true);
        const CodeWatcherModel kotlin =
            fixture.makeWatcher(outerRoot + u"/kotlin"_s, SupportedFileExtension::kotlin, true);
        const CodeWatcherModel outer =
            fixture.makeWatcher(outerRoot, SupportedFileExtension::cpp, true);
        MonitorRegistry &registry = fixture.registry();
        for (const CodeWatcherModel &watcher : {outer, kotlin, inner})
            QVERIFY(registry.addWatcher(watcher));
        QTRY_COMPARE(listedMarkups(fixture.core().markups(), outer.id),
                     QStringList{u"top.cpp:1:TODO:outer"_s});
        QTRY_COMPARE(listedMarkups(fixture.core().markups(), inner.id),
                     QStringList{u"old.cpp:1:TODO:inner"_s});

        QSignalSpy released(&fixture.core().pipeline(), &FixPipeline::processedFilesReleased);
        QVERIFY(writeFile(outerRoot + u"/inner/saved.cpp"_s, "int a;\n"));
        QVERIFY(writeFile(outerRoot + u"/kotlin/b.cpp"_s, "int b;\n"));
        const auto innerFixer = fixture.fixerFor(inner.id);
        const auto outerFixer = fixture.fixerFor(outer.id);
        QTRY_COMPARE(innerFixer->fixedFiles(), QStringList{outerRoot + u"/inner/saved.cpp"_s});
        QTRY_COMPARE(outerFixer->fixedFiles(), QStringList{outerRoot + u"/kotlin/b.cpp"_s});

        QVERIFY(registry.stopWatcher(inner));
        QTRY_COMPARE(released.size(), 2); // the saves are out of the echo check
        QSignalSpy finished(&fixture.core().pipeline(), &FixPipeline::runFinished);
        QVERIFY(registry.runFixers(outer.id));
        QVERIFY(finished.wait());
        QStringList runOver = outerFixer->fixedFiles().mid(1);
        runOver.sort();
        QCOMPARE(runOver, (QStringList{outerRoot + u"/kotlin/a.cpp"_s,
                                       outerRoot + u"/kotlin/b.cpp"_s, outerRoot + u"/top.cpp"_s}));
        QCOMPARE(WatcherNesting::warning(outerRoot + u"/inner/deeper"_s, registry.watchers()),
                 u"This folder is inside the watcher “%1”, “%2”: the files both take will be "
                 "formatted by the new watcher."_s.arg(outer.name, inner.name));
    }

    // A watcher added now leaves alone what git ignores: not listed, not run over; switched
    // off, its tree's findings are listed again.
    void whatGitIgnoresIsNeitherListedNorRunOver()
    {
        CoreFixture fixture(std::chrono::milliseconds(100));
        const QString root =
            fixture.makeProject(u"repo"_s, {{u".gitignore"_s, u"build/\n"_s},
                                            {u"build/generated.cpp"_s, u"// TODO: generated\n"_s},
                                            {u"src/mine.cpp"_s, u"// TODO: mine\n"_s}});
        QVERIFY(QProcess::execute(u"git"_s, {u"init"_s, u"-q"_s, root}) == 0);
        const CodeWatcherModel watcher =
            fixture.makeWatcher(root, SupportedFileExtension::cpp, true);
        MonitorRegistry &registry = fixture.registry();
        QVERIFY(registry.addWatcher(watcher));
        QCOMPARE(registry.gitOptions(watcher.id), GitOptions::forNewWatcher());
        QTRY_COMPARE(listedMarkups(fixture.core().markups(), watcher.id),
                     QStringList{u"mine.cpp:1:TODO:mine"_s});
        QSignalSpy finished(&fixture.core().pipeline(), &FixPipeline::runFinished);
        QVERIFY(registry.runFixers(watcher.id));
        QVERIFY(finished.wait());
        QCOMPARE(fixture.fixerFor(watcher.id)->fixedFiles(),
                 QStringList{root + u"/src/mine.cpp"_s});

        QVERIFY(registry.setGitOptions(watcher.id, {false, false}));
        QTRY_COMPARE(listedMarkups(fixture.core().markups(), watcher.id).size(), 2);
    }

    // Each save of a file replaces its findings, wherever they stand in the list; a file
    // deleted or renamed away takes its findings with it. The other files' stay as they were.
    void aSavedFileIsListedOnceAndAGoneFileNotAtAll()
    {
        CoreFixture fixture;
        const QString project = fixture.makeProject(
            u"app"_s, {{u"keep.cpp"_s, u"// TODO: keep\nint x; // FIXME: also\n"_s},
                       {u"a.cpp"_s, u"// TODO: one\n"_s},
                       {u"b.h"_s, u"// TODO: b\n"_s}});
        const CodeWatcherModel watcher =
            fixture.makeWatcher(project, SupportedFileExtension::cpp, true);
        MonitorRegistry &registry = fixture.registry();
        QVERIFY(registry.addWatcher(watcher));
        QTRY_COMPARE(fixture.core().markups().of(watcher.id).size(), 4);
        const QStringList scanned = listedMarkups(fixture.core().markups(), watcher.id);
        const CounterStore &counters = fixture.core().counters();

        // Each save differs, so none is taken for the echo of the one before.
        QSignalSpy released(&fixture.core().pipeline(), &FixPipeline::processedFilesReleased);
        const QString a = project + u"/a.cpp"_s;
        for (int save = 1; save <= 3; ++save) {
            QVERIFY(writeFile(a, "// TODO: one\n" + QByteArray(save, '\n')));
            QTRY_COMPARE(counters.countFor(watcher.id), save);
        }
        QCOMPARE(listedMarkups(fixture.core().markups(), watcher.id), scanned);
        // Run Fixers processes every file again, once the last save is out of the echo check.
        QTRY_COMPARE(released.size(), 3);
        QVERIFY(registry.runFixers(watcher.id));
        QTRY_COMPARE(counters.countFor(watcher.id), 6);
        QCOMPARE(listedMarkups(fixture.core().markups(), watcher.id), scanned);

        QStringList expected = scanned;
        expected.removeOne(u"a.cpp:1:TODO:one"_s);
        QVERIFY(writeFile(a, "int done;\n"));
        QTRY_COMPARE(listedMarkups(fixture.core().markups(), watcher.id), expected);
        QVERIFY(writeFile(a, "\n// FIXME: back\n"));
        QTRY_COMPARE(listedMarkups(fixture.core().markups(), watcher.id),
                     expected + QStringList{u"a.cpp:2:FIXME:back"_s});

        QVERIFY(QFile::remove(project + u"/b.h"_s));
        expected.removeOne(u"b.h:1:TODO:b"_s);
        expected.append(u"a.cpp:2:FIXME:back"_s);
        QTRY_COMPARE(listedMarkups(fixture.core().markups(), watcher.id), expected);
        QVERIFY(QFile::rename(project + u"/keep.cpp"_s, project + u"/kept.cpp"_s));
        QTRY_COMPARE(listedMarkups(fixture.core().markups(), watcher.id),
                     (QStringList{u"a.cpp:2:FIXME:back"_s, u"kept.cpp:1:TODO:keep"_s,
                                  u"kept.cpp:2:FIXME:also"_s}));
    }

    // A tree scan may end after the saves it overlapped, or after the watcher was stopped, or
    // stopped and started again: each file is still listed once, and a stopped watcher not at all.
    void aTreeScanOvertakenBySavesOrStopsListsEachFileOnce()
    {
        CoreFixture fixture;
        const QMap<QString, QString> files{{u"a.cpp"_s, u"// TODO: old\n"_s},
                                           {u"b.cpp"_s, u"// TODO: b\n"_s}};
        QList<CodeWatcherModel> watchers;
        for (const QString &name : {u"saved"_s, u"stopped"_s, u"restarted"_s})
            watchers.append(fixture.makeWatcher(fixture.makeProject(name, files),
                                                SupportedFileExtension::cpp, true));
        MonitorRegistry &registry = fixture.registry();
        HeldSharedPool held;
        for (const CodeWatcherModel &watcher : std::as_const(watchers))
            QVERIFY(registry.addWatcher(watcher));

        QVERIFY(writeFile(watchers[0].url.toLocalFile() + u"a.cpp"_s, "// TODO: new\n"));
        QTRY_COMPARE(listedMarkups(fixture.core().markups(), watchers[0].id),
                     QStringList{u"a.cpp:1:TODO:new"_s});
        QVERIFY(registry.stopWatcher(watchers[1]));
        QVERIFY(registry.stopWatcher(watchers[2]));
        QVERIFY(registry.startWatcher(watchers[2]));
        held.release();

        QTRY_COMPARE(listedMarkups(fixture.core().markups(), watchers[0].id),
                     (QStringList{u"a.cpp:1:TODO:new"_s, u"b.cpp:1:TODO:b"_s}));
        QTRY_COMPARE(fixture.core().markups().of(watchers[2].id).size(), 2);
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(fixture.core().markups().of(watchers[2].id).size(), 2);
        QVERIFY(fixture.core().markups().of(watchers[1].id).isEmpty());
    }

    void aRootThatComesBackIsWatchedAgain_data()
    {
        QTest::addColumn<bool>("renamed");
        QTest::newRow("renamed away and back") << true;
        QTest::newRow("deleted and recreated") << false;
    }

    void aRootThatComesBackIsWatchedAgain()
    {
        QFETCH(bool, renamed);
        CoreFixture fixture;
        const QString project = fixture.makeProject(u"app"_s);
        const CodeWatcherModel watcher =
            fixture.makeWatcher(project, SupportedFileExtension::cpp, true);
        MonitorRegistry &registry = fixture.registry();
        QVERIFY(registry.addWatcher(watcher));
        const DirectoryMonitor &monitor = *registry.entry(watcher.id)->monitor;

        const QString away = project + u".away"_s;
        QVERIFY(renamed ? QDir().rename(project, away) : QDir(project).removeRecursively());
        QTRY_VERIFY(!monitor.isRunning());
        QVERIFY(!registry.startWatcher(watcher)); // refused, and must not end the wait
        storeBookmark(project, "outdated");
        QVERIFY(renamed ? QDir().rename(away, project) : QDir().mkpath(project));
        QTRY_VERIFY(monitor.isRunning());

        fixture.makeProject(u"app"_s, {{u"a.cpp"_s, QString()}});
        QTRY_VERIFY(fixture.fixerFor(watcher.id)->fixedFiles().contains(project + u"/a.cpp"_s));
        QCOMPARE(LogFile::messages().count(u"Watching again: "_s + project), 1);
        QTRY_COMPARE(bookmarkOf(project),
                     SecurityScopedResourceManager::makeBookmark(project).value());
    }

    void storedWatchersComeBackAndNoneIsLost()
    {
        CoreFixture fixture;
        const CodeWatcherModel active =
            fixture.makeWatcher(fixture.makeProject(u"a"_s), SupportedFileExtension::cpp, true);
        const CodeWatcherModel inactive =
            fixture.makeWatcher(fixture.makeProject(u"b"_s), SupportedFileExtension::kotlin, false);
        // Its folder is missing for this run (an unplugged disk): it must stay stored.
        const CodeWatcherModel missing = fixture.makeWatcher(
            fixture.makeProject(u"c"_s) + u"/unplugged"_s, SupportedFileExtension::swift, true);
        WatcherListStore(TestHome::settings()).save({active, inactive, missing});

        MonitorRegistry &registry = fixture.registry();
        QCOMPARE(registry.monitors().size(), 2);
        QVERIFY(registry.entry(active.id)->monitor->isRunning());
        QVERIFY(!registry.entry(inactive.id)->monitor->isRunning());
        QVERIFY(registry.removeWatcher(inactive.id));
        QCOMPARE(storedWatchers(), (QList<CodeWatcherModel>{active, missing}));

        // A save under way when its watcher goes is still fixed and counted.
        const auto fixer = fixture.fixerFor(active.id);
        fixer->hold();
        fixture.makeProject(u"a"_s, {{u"x.cpp"_s, QString()}});
        QVERIFY(fixer->waitForWaiting(1));
        QVERIFY(registry.removeWatcher(active.id));
        fixer->release();
        QTRY_COMPARE(fixture.core().counters().countFor(active.id), 1);

        // The one not restored is known with its reason; a new watcher of its folder replaces
        // it rather than leaving a hidden second one in the store.
        QCOMPARE(registry.unrestoredWatchers().size(), 1);
        QCOMPARE(registry.unrestoredWatchers().first().watcher.id, missing.id);
        QVERIFY(QDir().mkpath(missing.url.toLocalFile()));
        const CodeWatcherModel replacement =
            fixture.makeWatcher(missing.url.toLocalFile().chopped(1), SupportedFileExtension::cpp);
        QCOMPARE(replacement.url, missing.url);
        QVERIFY(registry.addWatcher(replacement));
        QVERIFY(registry.unrestoredWatchers().isEmpty());
        QCOMPARE(storedWatchers(), QList<CodeWatcherModel>{replacement});
    }

    // Each watcher restored stores the list again; with nothing changed, the settings file must
    // not be rewritten and synced twenty times before the agent is ready.
    void aRestartWithManyWatchersWritesNoSettings()
    {
        CoreFixture fixture;
        QList<CodeWatcherModel> watchers;
        for (int i = 0; i < 20; ++i) {
            watchers.append(fixture.makeWatcher(fixture.makeProject(u"p%1"_s.arg(i)),
                                                SupportedFileExtension::cpp, i % 2 == 0));
            QVERIFY(fixture.registry().addWatcher(watchers.last()));
        }
        TestHome::settings().flush();
        const quint64 writes = TestHome::settings().writesToDisk();

        fixture.restart();
        QCOMPARE(fixture.registry().monitors().size(), 20);
        QVERIFY(fixture.registry().entry(watchers[18].id)->monitor->isRunning());
        TestHome::settings().flush();
        QCOMPARE(TestHome::settings().writesToDisk(), writes);
        QCOMPARE(storedWatchers(), watchers);
    }
};

SPRUCER_TEST_MAIN(TestMonitorRegistry)
#include "TestMonitorRegistry.moc"
