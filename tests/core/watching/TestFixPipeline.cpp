// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stats/CounterStore.h"
#include "core/support/NotificationCenter.h"
#include "core/watching/FixPipeline.h"
#include "support/LogFile.h"
#include "support/RecordingFixer.h"
#include "support/TestMain.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace std::chrono_literals;

namespace {

// A pipeline of its own with what it reports, in the order the main thread saw it.
struct Harness
{
    explicit Harness(std::chrono::milliseconds window = 300ms)
        : pipeline({window}, counters, center)
    {
        QObject::connect(&center, &NotificationCenter::fileProcessingStarted, &pipeline,
                         [this] { events.append(QStringLiteral("started")); });
        QObject::connect(&center, &NotificationCenter::fileProcessingComplete, &pipeline,
                         [this] { events.append(QStringLiteral("complete")); });
        QObject::connect(&pipeline, &FixPipeline::fileCompleted, &pipeline,
                         [this](const QUuid &, const MarkupList &found) {
                             events.append(QStringLiteral("file"));
                             markups.append(found);
                         });
    }

    QString write(const QString &name, const QByteArray &content = "int x;\n")
    {
        QFile file(project.filePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
        return file.fileName();
    }

    void process(const QStringList &paths) { pipeline.process(route, paths); }
    bool waitForDeliveries(qsizetype count)
    {
        return QTest::qWaitFor([&] { return events.count(QStringLiteral("complete")) == count; });
    }

    QTemporaryDir project;
    CounterStore counters;
    NotificationCenter center;
    FixPipeline pipeline;
    std::shared_ptr<RecordingFixer> fixer = std::make_shared<RecordingFixer>();
    FixPipeline::Route route{QUuid::createUuid(), SupportedFileExtension::cpp, fixer};
    QStringList events;
    MarkupList markups;
};

} // namespace

class TestFixPipeline : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    void aDeliveryIsBatchedCountedAndAnnouncedOnce()
    {
        Harness h;
        h.pipeline.setThreadCount(3);
        QStringList paths;
        for (int i = 0; i < 25; ++i)
            paths.append(h.write(QStringLiteral("f%1.cpp").arg(i, 2, 10, QLatin1Char('0'))));
        h.fixer->hold();
        h.process(paths);
        // Three batches of 10, 10 and 5 run side by side, one file at a time each.
        QVERIFY(h.fixer->waitForWaiting(3));
        QTRY_VERIFY(h.pipeline.processingWatchers().contains(h.route.watcherId));
        h.fixer->release();

        QVERIFY(h.waitForDeliveries(1));
        QCOMPARE(h.fixer->maxConcurrentFixes(), 3);
        QCOMPARE(h.fixer->fixedFiles().size(), 25);
        QCOMPARE(h.counters.countFor(h.route.watcherId), 25);
        QCOMPARE(h.events.size(), 27);
        QCOMPARE(h.events.first(), QStringLiteral("started"));
        QCOMPARE(h.events.last(), QStringLiteral("complete"));
        QVERIFY(h.pipeline.processingWatchers().isEmpty());
        // Within a batch the files keep their order.
        const QStringList fixed = h.fixer->fixedFiles();
        QVERIFY(fixed.indexOf(paths[0]) < fixed.indexOf(paths[9]));
    }

    // A path of another language, or one just processed, is not processed; the rest is, once
    // each, also while an earlier delivery still holds it.
    void onlyNewFilesOfTheLanguageAreProcessed()
    {
        Harness h(400ms);
        const QString a = h.write(QStringLiteral("a.cpp")), b = h.write(QStringLiteral("b.cpp"));
        h.fixer->hold();
        h.process({h.write(QStringLiteral("k.kt")), h.project.filePath(QStringLiteral("Makefile")),
                   h.project.filePath(QStringLiteral("B.CPP")), a});
        QVERIFY(h.fixer->waitForWaiting(1));
        h.process({a, b}); // a is still being fixed: only b is new
        QVERIFY(h.fixer->waitForWaiting(1));
        h.fixer->release();
        QVERIFY(h.waitForDeliveries(2));
        QCOMPARE(h.fixer->fixedFiles(), (QStringList{a, b}));

        // The fixer's own write comes back within the window: ignored.
        QSignalSpy released(&h.pipeline, &FixPipeline::processedFilesReleased);
        h.process({a});
        QVERIFY(released.wait(2000));
        QCOMPARE(h.fixer->fixedFiles().size(), 2);
        QVERIFY(h.events.count(QStringLiteral("started")) == 2);
        // After the window it is processed again.
        h.process({a});
        QVERIFY(h.waitForDeliveries(3));
        QCOMPARE(h.fixer->fixedFiles(), (QStringList{a, b, a}));
    }

    void everyFileIsScannedAndCountedEvenWhenUnreadable()
    {
        Harness h;
        const QString todo = h.write(QStringLiteral("todo.h"), "int a;\n// TODO: first\n");
        const QString bad = h.write(QStringLiteral("bad.c"), "int \xff\xfe x;\n");
        const QString gone = h.project.filePath(QStringLiteral("deleted.c"));
        h.route.fixer.reset(); // without a fixer files are still scanned and counted
        h.process({todo, bad, gone});
        QVERIFY(h.waitForDeliveries(1));
        QCOMPARE(h.counters.countFor(h.route.watcherId), 3);
        QCOMPARE(h.markups.size(), 1);
        QCOMPARE(h.markups[0].line, 2);
        QCOMPARE(h.markups[0].filePath, todo);
        const QStringList messages = LogFile::messages();
        QVERIFY(messages.contains(QStringLiteral("Failed to read file: ") + bad));
        QVERIFY(messages.contains(QStringLiteral("Failed to read file: ") + gone));
    }
};

SPRUCER_TEST_MAIN(TestFixPipeline)
#include "TestFixPipeline.moc"
