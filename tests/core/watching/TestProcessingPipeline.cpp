// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stats/CounterStore.h"
#include "core/support/NotificationCenter.h"
#include "core/support/SprucerLogger.h"
#include "support/LogFile.h"
#include "support/RegistryFixture.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

namespace {

using namespace std::chrono_literals;

// The order of notifications and counts as the main thread saw them.
class Timeline : public QObject
{
public:
    explicit Timeline(const QUuid &watcherId)
    {
        clock.start();
        connect(&NotificationCenter::shared(), &NotificationCenter::notified, this,
                [this, watcherId](const QString &name, const QVariantMap &info) {
                    if (info.value(QStringLiteral("watcherId")).toUuid() != watcherId)
                        return;
                    events.append(name);
                    if (name == QStringLiteral("fileProcessingComplete"))
                        lastCompletedAt = clock.elapsed();
                });
        connect(&CounterStore::shared(), &CounterStore::fixedCountChanged, this,
                [this] { events.append(QStringLiteral("count")); });
    }
    QStringList events;
    QElapsedTimer clock;
    qint64 lastCompletedAt = -1;

    qsizetype countOf(const QString &event) const { return events.count(event); }
};

QList<QUrl> urlsOf(const QString &root, const QStringList &names)
{
    QList<QUrl> urls;
    for (const QString &name : names)
        urls.append(QUrl::fromLocalFile(root + u'/' + name));
    return urls;
}

QMap<QString, QString> numberedFiles(int count, const QString &extension)
{
    QMap<QString, QString> files;
    for (int i = 0; i < count; ++i)
        files.insert(QStringLiteral("f%1.%2").arg(i, 2, 10, QLatin1Char('0')).arg(extension),
                     QStringLiteral("int x;\n"));
    return files;
}

} // namespace

class TestProcessingPipeline : public QObject
{
    Q_OBJECT

private:
    struct Setup
    {
        explicit Setup(MonitorRegistry::Timings timings)
            : fixture(timings)
        {}
        RegistryFixture fixture;
        QString project;
        CodeWatcherModel watcher;
        DirectoryMonitor *monitor = nullptr;
    };

    static std::unique_ptr<Setup>
    setUp(const QMap<QString, QString> &files,
          MonitorRegistry::Timings timings = RegistryFixture::fastTimings())
    {
        auto setup = std::make_unique<Setup>(timings);
        setup->project = setup->fixture.makeProject(QStringLiteral("project"), files);
        setup->watcher = setup->fixture.makeWatcher(setup->project, SupportedFileExtension::cpp);
        if (setup->fixture.registry().addWatcher(setup->watcher))
            return nullptr;
        setup->monitor = setup->fixture.registry().entry(setup->watcher.id)->monitor.get();
        return setup;
    }

private Q_SLOTS:
    void init()
    {
        SprucerLogger::shared().flush();
        TestHome::current().reset();
    }

    void aDeliveryIsBatchedCountedAndAnnouncedOnce()
    {
        auto setup = setUp(numberedFiles(25, QStringLiteral("cpp")));
        QVERIFY(setup);
        MonitorRegistry &registry = setup->fixture.registry();
        registry.setProcessingThreadCount(3);
        Timeline timeline(setup->watcher.id);
        const qint64 countBefore = CounterStore::shared().countFor(setup->watcher.id);
        auto fixer = setup->fixture.fixerFor(setup->watcher.id);
        fixer->hold();

        QStringList names = numberedFiles(25, QStringLiteral("cpp")).keys();
        registry.didObserveChanges(setup->monitor, urlsOf(setup->project, names));
        // Three batches of 10, 10 and 5 run side by side, one file at a time each.
        QVERIFY(fixer->waitForWaiting(3));
        QTRY_VERIFY(registry.processingWatchers().contains(setup->watcher.id));
        fixer->release();

        QTRY_COMPARE(timeline.countOf(QStringLiteral("fileProcessingComplete")), 1);
        QCOMPARE(fixer->maxConcurrentFixes(), 3);
        QCOMPARE(fixer->fixedFiles().size(), 25);
        QCOMPARE(CounterStore::shared().countFor(setup->watcher.id), countBefore + 25);
        QCOMPARE(timeline.events.first(), QStringLiteral("fileProcessingStarted"));
        QCOMPARE(timeline.events.last(), QStringLiteral("fileProcessingComplete"));
        QCOMPARE(timeline.countOf(QStringLiteral("fileProcessingStarted")), 1);
        QCOMPARE(timeline.countOf(QStringLiteral("count")), 25);
        QVERIFY(!registry.processingWatchers().contains(setup->watcher.id));
        // Within a batch the files keep their order: f00 before f01 … before f09.
        const QList<QUrl> fixed = fixer->fixedFiles();
        QVERIFY(fixed.indexOf(urlsOf(setup->project, {names[0]})[0]) <
                fixed.indexOf(urlsOf(setup->project, {names[9]})[0]));
    }

    void nothingToDoPostsNothing()
    {
        auto setup =
            setUp({{QStringLiteral("a.kt"), QString()}, {QStringLiteral("b.cpp"), QString()}});
        QVERIFY(setup);
        MonitorRegistry &registry = setup->fixture.registry();
        Timeline timeline(setup->watcher.id);
        registry.didObserveChanges(
            setup->monitor,
            urlsOf(setup->project,
                   {QStringLiteral("a.kt"), QStringLiteral("Makefile"), QStringLiteral("B.CPP")}));
        // A report from a monitor that belongs to no watcher is dropped too.
        registry.didObserveChanges(nullptr, urlsOf(setup->project, {QStringLiteral("b.cpp")}));
        // A sentinel delivery proves the earlier ones were handled first.
        registry.didObserveChanges(setup->monitor,
                                   urlsOf(setup->project, {QStringLiteral("b.cpp")}));
        QTRY_COMPARE(timeline.countOf(QStringLiteral("fileProcessingComplete")), 1);
        QCOMPARE(timeline.countOf(QStringLiteral("count")), 1);
        QCOMPARE(setup->fixture.fixerFor(setup->watcher.id)->fixedFiles(),
                 urlsOf(setup->project, {QStringLiteral("b.cpp")}));
    }

    void aProcessedFileIsIgnoredUntilTheWindowHasPassed()
    {
        auto setup = setUp({{QStringLiteral("a.cpp"), QStringLiteral("int a;\n")},
                            {QStringLiteral("b.cpp"), QStringLiteral("int b;\n")}},
                           MonitorRegistry::Timings{50ms, 400ms});
        QVERIFY(setup);
        MonitorRegistry &registry = setup->fixture.registry();
        Timeline timeline(setup->watcher.id);
        const auto a = urlsOf(setup->project, {QStringLiteral("a.cpp")});
        const auto b = urlsOf(setup->project, {QStringLiteral("b.cpp")});

        qint64 releasedAt = -1;
        connect(&registry, &MonitorRegistry::processedFilesReleased, &timeline, [&] {
            if (releasedAt < 0)
                releasedAt = timeline.clock.elapsed();
        });
        registry.didObserveChanges(setup->monitor, a);
        QTRY_COMPARE(timeline.countOf(QStringLiteral("fileProcessingComplete")), 1);
        const qint64 firstDoneAt = timeline.lastCompletedAt;
        // The fixer's own write comes back within the window: ignored. Another file is not.
        registry.didObserveChanges(setup->monitor, a + b);
        QTRY_COMPARE(timeline.countOf(QStringLiteral("fileProcessingComplete")), 2);
        QVERIFY(releasedAt < 0 || timeline.lastCompletedAt < releasedAt);
        auto fixer = setup->fixture.fixerFor(setup->watcher.id);
        QCOMPARE(fixer->fixedFiles(), a + b);

        // After the window the same file is processed again.
        QTRY_VERIFY_WITH_TIMEOUT(releasedAt >= 0, 2000);
        QVERIFY(releasedAt - firstDoneAt >= 350);
        registry.didObserveChanges(setup->monitor, a);
        QTRY_COMPARE(timeline.countOf(QStringLiteral("fileProcessingComplete")), 3);
        QCOMPARE(fixer->fixedFiles(), a + b + a);
    }

    void overlappingDeliveriesNeverFixOneFileTwice()
    {
        auto setup = setUp(numberedFiles(3, QStringLiteral("h")));
        QVERIFY(setup);
        MonitorRegistry &registry = setup->fixture.registry();
        Timeline timeline(setup->watcher.id);
        auto fixer = setup->fixture.fixerFor(setup->watcher.id);
        fixer->hold();
        const QStringList names = numberedFiles(3, QStringLiteral("h")).keys();
        registry.didObserveChanges(setup->monitor, urlsOf(setup->project, {names[0], names[1]}));
        QVERIFY(fixer->waitForWaiting(1));
        // While the first delivery runs, a second one names one of its files and a new one.
        registry.didObserveChanges(setup->monitor, urlsOf(setup->project, {names[1], names[2]}));
        QVERIFY(fixer->waitForWaiting(1));
        fixer->release();
        QTRY_COMPARE(timeline.countOf(QStringLiteral("fileProcessingComplete")), 2);
        QCOMPARE(fixer->fixedFiles().size(), 3);
        QCOMPARE(timeline.countOf(QStringLiteral("count")), 3);
    }

    void unreadableFilesAreLoggedAndStillCounted()
    {
        auto setup = setUp({{QStringLiteral("bad.c"), QString()}});
        QVERIFY(setup);
        QFile bad(setup->project + QStringLiteral("/bad.c"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("int \xff\xfe x;\n"); // not UTF-8
        bad.close();
        MonitorRegistry &registry = setup->fixture.registry();
        Timeline timeline(setup->watcher.id);
        registry.didObserveChanges(
            setup->monitor,
            urlsOf(setup->project, {QStringLiteral("bad.c"), QStringLiteral("deleted.c")}));
        QTRY_COMPARE(timeline.countOf(QStringLiteral("fileProcessingComplete")), 1);
        QCOMPARE(timeline.countOf(QStringLiteral("count")), 2);
        const QString text = LogFile::text();
        QVERIFY(text.contains(QStringLiteral("] Failed to read file: ") + setup->project +
                              QStringLiteral("/bad.c\n")));
        QVERIFY(text.contains(QStringLiteral("] Failed to read file: ") + setup->project +
                              QStringLiteral("/deleted.c\n")));
    }

    void markupsOfProcessedFilesAreAppended()
    {
        auto setup = setUp({{QStringLiteral("a.cpp"), QStringLiteral("// TODO: first\nint a;\n")}},
                           MonitorRegistry::Timings{50ms, 50ms});
        QVERIFY(setup);
        MonitorRegistry &registry = setup->fixture.registry();
        Timeline timeline(setup->watcher.id);
        const auto a = urlsOf(setup->project, {QStringLiteral("a.cpp")});
        registry.didObserveChanges(setup->monitor, a);
        QSignalSpy released(&registry, &MonitorRegistry::processedFilesReleased);
        QTRY_COMPARE(timeline.countOf(QStringLiteral("fileProcessingComplete")), 1);
        QVERIFY(released.wait(2000));
        registry.didObserveChanges(setup->monitor, a);
        QTRY_COMPARE(timeline.countOf(QStringLiteral("fileProcessingComplete")), 2);
        const MarkupList markups = registry.entry(setup->watcher.id)->markups;
        QCOMPARE(markups.size(), 2);
        QCOMPARE(markups[0].text, QStringLiteral("first"));
        QCOMPARE(markups[1].line, 1);
        QVERIFY(markups[0].id != markups[1].id);
    }

    void removingAWatcherLetsItsBatchFinishAndDropsItsMarkups()
    {
        auto setup = setUp({{QStringLiteral("a.cpp"), QStringLiteral("// FIXME: x\n")}});
        QVERIFY(setup);
        MonitorRegistry &registry = setup->fixture.registry();
        Timeline timeline(setup->watcher.id);
        const qint64 countBefore = CounterStore::shared().countFor(setup->watcher.id);
        auto fixer = setup->fixture.fixerFor(setup->watcher.id);
        fixer->hold();
        registry.didObserveChanges(setup->monitor,
                                   urlsOf(setup->project, {QStringLiteral("a.cpp")}));
        QVERIFY(fixer->waitForWaiting(1));
        registry.removeWatcher(setup->watcher.id);
        fixer->release();
        QTRY_COMPARE(timeline.countOf(QStringLiteral("fileProcessingComplete")), 1);
        QCOMPARE(CounterStore::shared().countFor(setup->watcher.id), countBefore + 1);
        QVERIFY(!registry.entry(setup->watcher.id));
    }
};

SPRUCER_TEST_MAIN(TestProcessingPipeline)
#include "TestProcessingPipeline.moc"
