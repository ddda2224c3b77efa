// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/FileCoordinator.h"
#include "core/formatting/ToolFixer.h"
#include "core/stats/StatisticsService.h"
#include "core/support/NotificationCenter.h"
#include "core/watching/FixPipeline.h"
#include "core/watching/FixProgress.h"
#include "support/LogFile.h"
#include "support/RecordingFixer.h"
#include "support/StandInTool.h"
#include "support/TestMain.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using namespace std::chrono_literals;

namespace {

// A pipeline of its own, counted and followed as the program does, with what it reports in the
// order the main thread saw it.
struct Harness
{
    explicit Harness(std::chrono::milliseconds window = 300ms)
        : Harness(FixPipeline::Timings{window})
    {}

    explicit Harness(FixPipeline::Timings timings)
        : progress(center)
        , pipeline(timings)
    {
        pipeline.setBatchSize(10);
        QObject::connect(&center, &NotificationCenter::fileProcessingStarted, &pipeline,
                         [this] { events.append(u"started"_s); });
        QObject::connect(&center, &NotificationCenter::fileProcessingComplete, &pipeline,
                         [this] { events.append(u"complete"_s); });
        QObject::connect(&pipeline, &FixPipeline::filesHandedOver, &progress,
                         &FixProgress::handedOver);
        QObject::connect(&pipeline, &FixPipeline::fileFinished, &pipeline,
                         [this](const FixOutcome &outcome) {
                             statistics.record(outcome);
                             outcomes.append(outcome);
                             events.append(u"file"_s);
                             scanned.insert(outcome.path, outcome.markups);
                             markups.append(outcome.markups.value_or(MarkupList()));
                             progress.finished(outcome);
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
        return QTest::qWaitFor([&] { return events.count(u"complete"_s) == count; });
    }

    qint64 count() { return statistics.counters().countFor(route.watcherId); }

    QTemporaryDir project;
    StatisticsService statistics{TestHome::settings()};
    NotificationCenter center;
    FixProgress progress;
    FixPipeline pipeline;
    std::shared_ptr<RecordingFixer> fixer = std::make_shared<RecordingFixer>();
    FixPipeline::Route route{QUuid::createUuid(), SupportedFileExtension::cpp, fixer};
    QStringList events;
    QList<FixOutcome> outcomes;
    MarkupList markups;
    QHash<QString, std::optional<MarkupList>> scanned; // the latest of each path
};

// Every run loses to a newer save of its file.
class OvertakenFixer : public IFixer
{
public:
    QString language() const override { return u"C++"_s; }
    FixResult fix(const QString &) override
    {
        return FixResult::of(FixResult::Outcome::superseded, std::nullopt);
    }
};

// Each file comes out as its name says: "changed…", "clean…" (nothing to change) or "bad…".
class ByNameFixer : public IFixer
{
public:
    QString language() const override { return u"C++"_s; }
    FixResult fix(const QString &path) override
    {
        const QString name = QFileInfo(path).fileName();
        if (name.startsWith(u"bad"_s))
            return FixResult::of(FixResult::Outcome::failed, std::nullopt, u"clang-format: bad"_s);
        return FixResult::of(name.startsWith(u"changed"_s) ? FixResult::Outcome::changed
                                                           : FixResult::Outcome::unchanged,
                             std::nullopt);
    }
};

// A real fixer whose tool hangs on files named "hang…" and formats the others; each hung run
// notes its process id.
struct HangingTool
{
    explicit HangingTool(Harness &h)
        : hung(h.project.filePath(u"hung"_s))
    {
        const QString tools = h.project.filePath(u"tools"_s);
        StandInTool::write(
            tools, u"clang-format"_s,
            u"case \"${file##*/}\" in\n"
            "  hang*) echo $$ >> '%1'; exec sleep 600;;\n"
            "  *) tr a-z A-Z < \"$file\" > \"$file.new\" && mv \"$file.new\" \"$file\";;\n"
            "esac"_s.arg(hung));
        ToolFixer::Environment environment;
        environment.resolver = ToolResolver({tools}, false);
        environment.coordinator = &coordinator;
        environment.stop = &h.pipeline.toolStop();
        environment.timeout = 5s;
        h.route.fixer = std::make_shared<ToolFixer>(SupportedFileExtension::cpp,
                                                    QUrl::fromLocalFile(tools), environment);
        h.pipeline.setThreadCount(2);
    }

    QStringList hungRuns() const { return StandInTool::readLines(hung); }

    QString hung;
    FileCoordinator coordinator;
};

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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
            paths.append(h.write(u"f%1.cpp"_s.arg(i, 2, 10, QLatin1Char('0'))));
        h.fixer->hold();
        h.process(paths);
        // Three batches of 10, 10 and 5 run side by side, one file at a time each.
        QVERIFY(h.fixer->waitForWaiting(3));
        QTRY_COMPARE(h.progress.progress(h.route.watcherId).total, 25);
        h.fixer->release();

        QVERIFY(h.waitForDeliveries(1));
        QCOMPARE(h.fixer->maxConcurrentFixes(), 3);
        QCOMPARE(h.fixer->fixedFiles().size(), 25);
        QCOMPARE(h.count(), 25);
        QCOMPARE(h.events.size(), 27);
        QCOMPARE(h.events.first(), u"started"_s);
        QCOMPARE(h.events.last(), u"complete"_s);
        QCOMPARE(h.progress.progress(h.route.watcherId).total, 0);
        // Within a batch the files keep their order.
        const QStringList fixed = h.fixer->fixedFiles();
        QVERIFY(fixed.indexOf(paths[0]) < fixed.indexOf(paths[9]));
    }

    // A path of another language, or one just processed, is not processed; the rest is, once
    // each, also while an earlier delivery still holds it.
    void onlyNewFilesOfTheLanguageAreProcessed()
    {
        Harness h(1000ms);
        const QString a = h.write(u"a.cpp"_s), b = h.write(u"b.cpp"_s);
        h.fixer->hold();
        h.process({h.write(u"k.kt"_s), h.project.filePath(u"Makefile"_s),
                   h.project.filePath(u"B.CPP"_s), a});
        QVERIFY(h.fixer->waitForWaiting(1));
        h.process({a, b}); // a is still being fixed: only b is new
        QVERIFY(h.fixer->waitForWaiting(1));
        h.fixer->release();
        QVERIFY(h.waitForDeliveries(2));
        QCOMPARE(h.fixer->fixedFiles(), (QStringList{a, b}));

        // The fixer's own write comes back within the window: ignored.
        QSignalSpy released(&h.pipeline, &FixPipeline::processedFilesReleased);
        h.process({a});
        QTRY_COMPARE_WITH_TIMEOUT(released.size(), 2, 5000); // both deliveries' paths
        QCOMPARE(h.fixer->fixedFiles().size(), 2);
        QVERIFY(h.events.count(u"started"_s) == 2);
        // After the window it is processed again.
        h.process({a});
        QVERIFY(h.waitForDeliveries(3));
        QCOMPARE(h.fixer->fixedFiles(), (QStringList{a, b, a}));
    }

    // Within the window a report is dropped only while the file holds what the fixer left; a
    // report that comes while its file is fixed is looked at again when that fix ends.
    void echoesAreToldByContent()
    {
        Harness h(10s);
        h.fixer->setFormat([](const QByteArray &text) { return text.toUpper(); });
        const QString a = h.write(u"a.cpp"_s, "int x;\n");
        const auto processed = [&](int deliveries) {
            h.process({a});
            return QTest::qWaitFor([&] { return h.events.count(u"complete"_s) == deliveries; });
        };
        QVERIFY(processed(1));
        h.process({a}); // the fixer's own write, dropped at once
        QCoreApplication::processEvents();
        QCOMPARE(h.events.count(u"started"_s), 1);
        h.write(u"a.cpp"_s, "int y;\n");
        QVERIFY(processed(2));
        QCOMPARE(h.count(), 2);

        h.fixer->setFormat([](const QByteArray &text) { return text; });
        h.fixer->hold();
        h.write(u"a.cpp"_s, "int z;\n");
        h.process({a});
        QVERIFY(h.fixer->waitForWaiting(1)); // it has read "int z;"
        h.write(u"a.cpp"_s, "int w;\n");
        h.process({a});
        h.fixer->release();
        QVERIFY(h.waitForDeliveries(4)); // "int w;" in a delivery of its own
        QCOMPARE(h.fixer->fixedFiles().size(), 4);
    }

    // A few files (a user's saves) go ahead of the queued batches of bulk work, each alone, so
    // one whose tool hangs holds up no other.
    void savesGoAheadOfBulkWork()
    {
        Harness h;
        h.pipeline.setThreadCount(1);
        QStringList bulk;
        for (int i = 0; i < 40; ++i)
            bulk << h.write(u"bulk%1.cpp"_s.arg(i));
        const QStringList saves = {h.write(u"a.cpp"_s), h.write(u"b.cpp"_s)};
        h.fixer->hold();
        h.process(bulk);
        QVERIFY(h.fixer->waitForWaiting(1));
        h.process(saves);
        h.pipeline.setThreadCount(2);
        QVERIFY(h.fixer->waitForWaiting(1)); // the first save started beside the bulk batch
        QCOMPARE(h.fixer->fixedFiles().mid(1), QStringList(saves[0]));
        // One thread again: two would start the batches left side by side, in either order.
        h.pipeline.setThreadCount(1);
        h.fixer->release();
        QVERIFY(h.waitForDeliveries(2));
        const QStringList fixed = h.fixer->fixedFiles();
        QVERIFY(fixed.indexOf(saves[1]) <= 11);
        for (int batch = 1; batch < 4; ++batch) // in their order
            QVERIFY(fixed.indexOf(bulk[10 * (batch - 1)]) < fixed.indexOf(bulk[10 * batch]));
        QCOMPARE(fixed.size(), 42);
    }

    // Only a run judged a success is counted. A file that is not UTF-8 text, or too large to
    // read, is still processed, and the log says which of the two it was. Each file's findings
    // are told as they now are: none for a file gone or not text, unknown for one that is there
    // but was not read.
    void onlySuccessesCountAndUnscannedFilesSayWhy()
    {
        Harness h;
        const QString todo = h.write(u"todo.h"_s, "int a;\n// TODO: first\n");
        const QString latin1 = h.write(u"latin1.c"_s, "int \xe9t\xe9;\n");
        const QString gone = h.project.filePath(u"deleted.c"_s);
        const QString unreadable = h.write(u"huge.c"_s);
        QVERIFY(QFile::resize(unreadable, 17 * 1024 * 1024)); // sparse: larger than any source
        h.process({todo, latin1, gone, unreadable});
        QVERIFY(h.waitForDeliveries(1));
        QCOMPARE(h.count(), 4);
        QCOMPARE(h.markups.size(), 1);
        QCOMPARE(h.markups[0].line, 2);
        QCOMPARE(h.markups[0].filePath, todo);
        QCOMPARE(h.scanned.value(todo), h.markups);
        QCOMPARE(h.scanned.value(latin1), MarkupList());
        QCOMPARE(h.scanned.value(gone), MarkupList());
        QVERIFY(h.scanned.contains(unreadable) && !h.scanned.value(unreadable));
        QStringList messages = LogFile::messages();
        messages.sort();
        QCOMPARE(messages,
                 (QStringList{u"Failed to read file: "_s + gone,
                              u"Not scanned for TODOs (larger than 16 MiB): "_s + unreadable,
                              u"Not scanned for TODOs (not UTF-8 text): "_s + latin1}));

        h.fixer->setOutcome(FixResult::Outcome::failed, u"clang-format: bad"_s);
        h.process({h.write(u"failed.h"_s)});
        // A run that lost to a newer save tells nothing of the file: that save's run will.
        h.route.fixer = std::make_shared<OvertakenFixer>();
        const QString overtaken = h.write(u"overtaken.h"_s, "// TODO: later\n");
        h.process({overtaken});
        h.route.fixer.reset(); // no fixer, no run to count
        h.process({h.write(u"unformatted.h"_s)});
        QVERIFY(h.waitForDeliveries(4));
        QCOMPARE(h.count(), 4);
        QVERIFY(h.scanned.contains(overtaken) && !h.scanned.value(overtaken));
    }

    // Only regular files are read: a pipe made and used once, a socket, and a device as a node
    // or through a link each get one line and no findings, while the file beside them is read
    // as usual. Reading any of them would block a worker for good or grow without end.
    void specialFilesAreLeftAloneWithoutBlocking()
    {
        Harness h;
        h.route.fixer.reset(); // read by the pipeline itself
        const QString fifo = h.project.filePath(u"a.cpp"_s);
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const int end = ::open(QFile::encodeName(fifo).constData(), O_RDWR | O_NONBLOCK);
        QVERIFY(end >= 0 && ::write(end, "x", 1) == 1 && ::close(end) == 0);
        const QString socketPath = h.project.filePath(u"s.cpp"_s);
        const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(socketPath).constData(),
                 sizeof address.sun_path);
        QVERIFY(::bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        const QString zeroLink = h.project.filePath(u"y.cpp"_s);
        QVERIFY(QFile::link(u"/dev/zero"_s, zeroLink));
        QStringList special{fifo, socketPath, zeroLink};
        const QString zeroNode = h.project.filePath(u"z.cpp"_s);
        if (::mknod(QFile::encodeName(zeroNode).constData(), S_IFCHR | 0600, makedev(1, 5)) == 0)
            special.append(zeroNode); // only where devices may be made
        const QString todo = h.write(u"todo.cpp"_s, "// TODO: kept\n");

        h.process(special + QStringList{todo});
        QVERIFY(h.waitForDeliveries(1));
        ::close(socket);
        QCOMPARE(h.markups.size(), 1);
        QCOMPARE(h.markups[0].filePath, todo);
        QStringList leftAlone;
        for (const QString &path : std::as_const(special)) {
            QVERIFY2(h.scanned.value(path) == MarkupList(), qPrintable(path));
            leftAlone.append(u"Left alone (not a regular file): "_s + path);
        }
        QStringList logged = LogFile::messages();
        logged.removeIf([](const QString &line) { return !line.startsWith(u"Left alone"_s); });
        leftAlone.sort();
        logged.sort();
        QCOMPARE(logged, leftAlone);
    }

    // A "Run Fixers" ends with its summary, once, after its last file; only a file the tool
    // changed is counted. Files holding what the last run left are formatted already: a run
    // right after counts them as checked without running the tool, and says so at once.
    void aRunEndsWithItsSummaryAndOnlyChangesCount()
    {
        Harness h(60s); // the second run must find the first one's files still in the window
        h.route.fixer = std::make_shared<ByNameFixer>();
        QSignalSpy finished(&h.pipeline, &FixPipeline::runFinished);
        const QStringList tree{h.write(u"changed.cpp"_s), h.write(u"clean.cpp"_s),
                               h.write(u"bad.cpp"_s), h.write(u"notes.txt"_s)};
        h.pipeline.process(h.route, tree, FixPipeline::Origin::run);
        QVERIFY(finished.wait());
        QCOMPARE(finished.first().at(1).value<RunSummary>(),
                 (RunSummary{3, 1, 1, u"bad.cpp: clang-format: bad"_s}));
        QCOMPARE(finished.first().at(1).value<RunSummary>().text(),
                 u"3 checked · 1 changed · 1 failed"_s);
        QCOMPARE(h.count(), 1);
        QCOMPARE(h.outcomes.size(), 3);
        QCOMPARE(h.outcomes.last().origin, FixOutcome::Origin::run);
        QCoreApplication::processEvents(); // the day's count is applied on the next turn
        const QList<DailyFix> days = h.statistics.daily().dailyFixes();
        QCOMPARE(days.size(), 1);
        QCOMPARE(days[0].language, u"C++"_s);
        QCOMPARE(days[0].count, 1);

        h.pipeline.process(h.route, tree, FixPipeline::Origin::run);
        QVERIFY(finished.wait());
        QCOMPARE(finished.last().at(1).value<RunSummary>(), (RunSummary{3, 0, 0, {}}));
        h.pipeline.process(h.route, {}, FixPipeline::Origin::run);
        QVERIFY(finished.wait());
        QCOMPARE(finished.last().at(1).value<RunSummary>(), RunSummary{});
        QCOMPARE(h.outcomes.size(), 3);

        // Saves end with no summary.
        h.process({h.write(u"changed2.cpp"_s)});
        QVERIFY(h.waitForDeliveries(2));
        QCOMPARE(finished.size(), 3);
        QCOMPARE(h.count(), 2);
    }

    // Saves while hung runs hold every worker: each is formatted within its own run's time, on
    // a spare worker, long before the hung runs reach their 5 s limit. Files that hang, changed
    // together, wait for the pool's workers and leave the spares to the saves that follow.
    void aSaveNeverWaitsForHungRuns()
    {
        Harness h({300ms, 200ms, 300ms});
        HangingTool tool(h);
        QStringList hanging;
        for (int i = 0; i < 8; ++i)
            hanging << h.write(u"hang%1.cpp"_s.arg(i));
        h.process(hanging);
        QTRY_COMPARE(tool.hungRuns().size(), 2);
        for (int i = 0; i < 4; ++i) {
            const QString saved = h.write(u"saved%1.cpp"_s.arg(i));
            h.process({saved});
            QTRY_COMPARE_WITH_TIMEOUT(readFile(saved), "INT X;\n", 8000);
        }
        QTRY_COMPARE(h.outcomes.size(), 4);
        const auto digest = [](const QByteArray &bytes) {
            return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
        };
        for (const FixOutcome &outcome : std::as_const(h.outcomes)) {
            QVERIFY(outcome.path.contains(u"/saved"_s));
            QCOMPARE(outcome.result, FixOutcome::Result::changed);
            QCOMPARE(outcome.tool, u"clang-format"_s);
            QCOMPARE(outcome.digestBefore, digest("int x;\n"));
            QCOMPARE(outcome.digestAfter, digest("INT X;\n"));
        }
        QCOMPARE(h.count(), 4);
        h.pipeline.stop();
    }

    // Quitting while hung runs hold the pool's workers and a spare: every run under way is
    // ended and counted before `stop` returns, and the work still queued never starts.
    void stopEndsHungRunsOnEveryWorker()
    {
        Harness h({300ms, 200ms, 300ms});
        HangingTool tool(h);
        for (const QString &name : {u"hang1.cpp"_s, u"hang2.cpp"_s, u"hang3.cpp"_s})
            h.process({h.write(name)});
        QTRY_COMPARE(tool.hungRuns().size(), 3); // the third on a spare
        QStringList tree;
        for (int i = 0; i < 25; ++i)
            tree << h.write(u"bulk%1.cpp"_s.arg(i));
        h.pipeline.process(h.route, tree, FixPipeline::Origin::run);

        h.pipeline.stop();
        for (const QString &pid : tool.hungRuns())
            QVERIFY2(!QFile::exists(u"/proc/"_s + pid), qPrintable(pid));
        QCOMPARE(h.outcomes.size(), 3);
        for (const FixOutcome &outcome : std::as_const(h.outcomes))
            QCOMPARE(outcome.result, FixOutcome::Result::skipped);
        QCOMPARE(readFile(tree[0]), "int x;\n");
        h.process({h.write(u"late.cpp"_s)});
        QCoreApplication::processEvents();
        QCOMPARE(h.outcomes.size(), 3);
    }
};

SPRUCER_TEST_MAIN(TestFixPipeline)
#include "TestFixPipeline.moc"
