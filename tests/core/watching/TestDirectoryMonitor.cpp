// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/SerialQueue.h"
#include "core/support/SprucerLogger.h"
#include "core/watching/DirectoryMonitor.h"
#include "core/watching/DirectoryMonitorProtocol.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>

#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Records every delivery; called on the watch queue, read on the main thread.
class Recorder : public DirectoryMonitorProtocol
{
public:
    struct Delivery
    {
        QList<QUrl> files;
        QThread *thread;
    };

    void didObserveChanges(DirectoryMonitor *, const QList<QUrl> &files) override
    {
        {
            QMutexLocker lock(&m_mutex);
            m_deliveries.append({files, QThread::currentThread()});
        }
        if (onDelivery)
            onDelivery();
    }

    QList<Delivery> deliveries() const
    {
        QMutexLocker lock(&m_mutex);
        return m_deliveries;
    }

    int timesReported(const QString &path) const
    {
        const QUrl url = QUrl::fromLocalFile(path);
        int times = 0;
        for (const Delivery &delivery : deliveries())
            times += int(delivery.files.count(url));
        return times;
    }

    bool reported(const QString &path) const { return timesReported(path) > 0; }

    std::function<void()> onDelivery; // runs on the delivering thread

private:
    mutable QMutex m_mutex;
    QList<Delivery> m_deliveries;
};

bool writeFile(const QString &path, const QByteArray &content = "int x;\n")
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

bool makeDirectory(const QString &path)
{
    return QDir().mkpath(path);
}

int logLinesContaining(const QString &text)
{
    SprucerLogger::shared().flush();
    QFile log(SprucerLogger::shared().logFilePath());
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    return int(QString::fromUtf8(log.readAll()).split(u'\n').filter(text).size());
}

constexpr char kRerunVariable[] = "SPRUCER_TEST_RERUN";

bool isRerun()
{
    return qEnvironmentVariableIsSet(kRerunVariable);
}

// Runs the current test function again in a child started through `wrapper`, for conditions
// this process cannot make for itself: a tiny watch limit, or root without its privileges.
void rerunThrough(const QStringList &wrapper)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kRerunVariable), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(wrapper.first(),
                wrapper.mid(1) + QStringList{QCoreApplication::applicationFilePath(),
                                             QString::fromLatin1(QTest::currentTestFunction())});
    if (!child.waitForStarted())
        QSKIP(qPrintable(wrapper.first() + QStringLiteral(" is not available")));
    QVERIFY(child.waitForFinished(90000));
    const QByteArray output = child.readAll();
    if (!output.contains("Totals:"))
        QSKIP(
            qPrintable(QStringLiteral("cannot run the test there: ") + QString::fromUtf8(output)));
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             output.constData());
}

// A temporary tree under watch, with a sibling folder outside it.
class Watched
{
public:
    explicit Watched(std::chrono::milliseconds latency = 50ms,
                     std::chrono::milliseconds timestampSlack = 2000ms)
        : root(m_temporary.path() + QStringLiteral("/tree"))
        , outside(m_temporary.path() + QStringLiteral("/outside"))
        , monitor(QUrl::fromLocalFile(root + u'/'), &queue, recorder, {latency, timestampSlack})
    {
        makeDirectory(root);
        makeDirectory(outside);
    }

    // Also waits until the whole tree is watched, which happens on the watch queue.
    bool start()
    {
        const bool started = !monitor.startMonitoring();
        queue.sync([] {});
        return started;
    }

    // Writes a new file and waits for its report: everything that happened before it and was
    // going to be reported has been by then.
    bool settle()
    {
        const QString path = root + QStringLiteral("/.settle-%1").arg(++m_settles);
        return writeFile(path) && QTest::qWaitFor([&] { return recorder->reported(path); }, 5000);
    }

    QString in(const QString &relative) const { return root + u'/' + relative; }
    QString out(const QString &relative) const { return outside + u'/' + relative; }

private:
    QTemporaryDir m_temporary;
    int m_settles = 0;

public:
    const QString root;
    const QString outside;
    SerialQueue queue{QStringLiteral("test.fsmonitor")};
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    DirectoryMonitor monitor;
};

} // namespace

class TestDirectoryMonitor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    void savesAreReportedOnTheWatchQueue()
    {
        Watched w;
        QVERIFY(writeFile(w.in(QStringLiteral("kept.cpp"))));
        QVERIFY(w.start());
        QVERIFY(w.monitor.isRunning());
        QVERIFY(w.monitor.hasAccess());

        QVERIFY(writeFile(w.in(QStringLiteral("new.cpp"))));
        QTRY_VERIFY(w.recorder->reported(w.in(QStringLiteral("new.cpp"))));
        QVERIFY(writeFile(w.in(QStringLiteral("kept.cpp")), "int y;\n"));
        QTRY_VERIFY(w.recorder->reported(w.in(QStringLiteral("kept.cpp"))));
        QVERIFY(QFile::remove(w.in(QStringLiteral("new.cpp"))));
        QTRY_COMPARE(w.recorder->timesReported(w.in(QStringLiteral("new.cpp"))), 2);

        QThread *queueThread = nullptr;
        w.queue.sync([&] { queueThread = QThread::currentThread(); });
        for (const Recorder::Delivery &delivery : w.recorder->deliveries())
            QCOMPARE(delivery.thread, queueThread);
    }

    // Reporting the creation would get the file formatted while it is still being written, and
    // the real save would then fall into the pipeline's echo window and be lost.
    void aFileStillBeingWrittenIsReportedWhenItsWriterCloses()
    {
        Watched w;
        QVERIFY(w.start());
        QFile slow(w.in(QStringLiteral("slow.cpp")));
        QVERIFY(slow.open(QIODevice::WriteOnly));
        QVERIFY(slow.write("int first;\n") > 0);
        QVERIFY(slow.flush());
        QVERIFY(w.settle());
        QVERIFY(slow.write("int second;\n") > 0);
        QVERIFY(w.settle());
        QVERIFY(!w.recorder->reported(slow.fileName()));

        slow.close();
        QTRY_COMPARE(w.recorder->timesReported(slow.fileName()), 1);
    }

    void savesThroughATemporaryFileReportTheRealPath()
    {
        Watched w;
        const QString file = w.in(QStringLiteral("main.cpp"));
        QVERIFY(writeFile(file));
        QVERIFY(w.start());

        // clang-format -i and JetBrains: a temporary file renamed over the original.
        QVERIFY(writeFile(file + QStringLiteral(".tmp"), "int a;\n"));
        QCOMPARE(::rename(QFile::encodeName(file + QStringLiteral(".tmp")).constData(),
                          QFile::encodeName(file).constData()),
                 0);
        QTRY_VERIFY(w.recorder->reported(file));
        QVERIFY(w.settle());
        const int before = w.recorder->timesReported(file);

        // vim: the original renamed to a backup, the new text written under the real name.
        QVERIFY(QFile::rename(file, file + u'~'));
        QVERIFY(writeFile(file, "int b;\n"));
        QTRY_VERIFY(w.recorder->timesReported(file) > before);
    }

    void newDirectoriesAreWatchedAndTheFilesAlreadyInThemReported()
    {
        Watched w;
        QVERIFY(w.start());

        QVERIFY(makeDirectory(w.in(QStringLiteral("made/deeper"))));
        QVERIFY(writeFile(w.in(QStringLiteral("made/deeper/a.cpp"))));
        QTRY_VERIFY(w.recorder->reported(w.in(QStringLiteral("made/deeper/a.cpp"))));
        QVERIFY(w.recorder->reported(w.in(QStringLiteral("made"))));

        // A whole subtree moved in, files and all.
        QVERIFY(makeDirectory(w.out(QStringLiteral("pkg/src/.hidden"))));
        QVERIFY(writeFile(w.out(QStringLiteral("pkg/top.h"))));
        QVERIFY(writeFile(w.out(QStringLiteral("pkg/src/b.cpp"))));
        QVERIFY(writeFile(w.out(QStringLiteral("pkg/src/.hidden/c.cpp"))));
        QVERIFY(QFile::rename(w.out(QStringLiteral("pkg")), w.in(QStringLiteral("made/pkg"))));
        for (const char *file :
             {"made/pkg/top.h", "made/pkg/src/b.cpp", "made/pkg/src/.hidden/c.cpp"})
            QTRY_VERIFY2(w.recorder->reported(w.in(QString::fromLatin1(file))), file);

        // Both are watched all the way down.
        QVERIFY(writeFile(w.in(QStringLiteral("made/deeper/d.cpp"))));
        QVERIFY(writeFile(w.in(QStringLiteral("made/pkg/src/.hidden/e.cpp"))));
        QTRY_VERIFY(w.recorder->reported(w.in(QStringLiteral("made/deeper/d.cpp"))));
        QTRY_VERIFY(w.recorder->reported(w.in(QStringLiteral("made/pkg/src/.hidden/e.cpp"))));
    }

    void aDirectoryRenamedInsideTheTreeKeepsWatchingWithoutReportingItsFiles()
    {
        Watched w;
        QVERIFY(makeDirectory(w.in(QStringLiteral("old/inner"))));
        QVERIFY(writeFile(w.in(QStringLiteral("old/inner/kept.cpp"))));
        QVERIFY(w.start());

        QVERIFY(QFile::rename(w.in(QStringLiteral("old")), w.in(QStringLiteral("renamed"))));
        QVERIFY(w.settle());
        QVERIFY(w.recorder->reported(w.in(QStringLiteral("old"))));
        QVERIFY(w.recorder->reported(w.in(QStringLiteral("renamed"))));
        QVERIFY(!w.recorder->reported(w.in(QStringLiteral("renamed/inner/kept.cpp"))));

        QVERIFY(writeFile(w.in(QStringLiteral("renamed/inner/kept.cpp")), "int z;\n"));
        QTRY_VERIFY(w.recorder->reported(w.in(QStringLiteral("renamed/inner/kept.cpp"))));
        QVERIFY(!w.recorder->reported(w.in(QStringLiteral("old/inner/kept.cpp"))));
    }

    void aSubtreeMovedOutIsNoLongerReported()
    {
        Watched w;
        QVERIFY(makeDirectory(w.in(QStringLiteral("leaving/inner"))));
        QVERIFY(w.start());

        QVERIFY(QFile::rename(w.in(QStringLiteral("leaving")), w.out(QStringLiteral("left"))));
        QVERIFY(w.settle());
        QVERIFY(w.recorder->reported(w.in(QStringLiteral("leaving"))));
        QVERIFY(writeFile(w.out(QStringLiteral("left/a.cpp"))));
        QVERIFY(writeFile(w.out(QStringLiteral("left/inner/b.cpp"))));
        QVERIFY(w.settle());
        for (const Recorder::Delivery &delivery : w.recorder->deliveries()) {
            for (const QUrl &file : delivery.files) {
                QVERIFY2(!file.toLocalFile().contains(QStringLiteral("a.cpp")) &&
                             !file.toLocalFile().contains(QStringLiteral("b.cpp")),
                         qPrintable(file.toLocalFile()));
            }
        }
    }

    void directoryLinksAreNotFollowed()
    {
        Watched w;
        QVERIFY(makeDirectory(w.out(QStringLiteral("elsewhere"))));
        QVERIFY(QFile::link(w.out(QStringLiteral("elsewhere")), w.in(QStringLiteral("before"))));
        QVERIFY(w.start());
        QVERIFY(QFile::link(w.out(QStringLiteral("elsewhere")), w.in(QStringLiteral("after"))));
        QVERIFY(w.settle());

        QVERIFY(writeFile(w.out(QStringLiteral("elsewhere/x.cpp"))));
        QVERIFY(w.settle());
        for (const Recorder::Delivery &delivery : w.recorder->deliveries()) {
            for (const QUrl &file : delivery.files)
                QVERIFY2(!file.toLocalFile().endsWith(QStringLiteral("x.cpp")),
                         qPrintable(file.toLocalFile()));
        }
    }

    void theRootGoingAwayStopsTheMonitorWithOneLogLine_data()
    {
        QTest::addColumn<bool>("deleted");
        QTest::addColumn<QString>("reason");
        QTest::newRow("deleted") << true << QStringLiteral("the directory was deleted");
        QTest::newRow("renamed") << false << QStringLiteral("the directory was moved or renamed");
    }

    void theRootGoingAwayStopsTheMonitorWithOneLogLine()
    {
        QFETCH(bool, deleted);
        QFETCH(QString, reason);
        Watched w;
        QVERIFY(makeDirectory(w.in(QStringLiteral("sub"))));
        QVERIFY(writeFile(w.in(QStringLiteral("sub/a.cpp"))));
        QVERIFY(w.start());

        if (deleted)
            QVERIFY(QDir(w.root).removeRecursively());
        else
            QVERIFY(QFile::rename(w.root, w.out(QStringLiteral("moved"))));
        QTRY_VERIFY(!w.monitor.isRunning());
        const QString line = QStringLiteral("Stopped monitoring ") + w.root + QStringLiteral(": ");
        QCOMPARE(logLinesContaining(line), 1);
        QCOMPARE(logLinesContaining(line + reason), 1);

        w.monitor.stopMonitoring();
        QVERIFY(!w.monitor.hasAccess());
        QCOMPARE(w.monitor.startMonitoring(), DirectoryMonitorError::failedToAccessResource);

        // Back again: the monitor starts anew.
        QVERIFY(makeDirectory(w.root));
        QVERIFY(w.start());
        QVERIFY(w.settle());
    }

    void rescanReportsEveryRegularFileOnceAndRestarts()
    {
        Watched w;
        QVERIFY(makeDirectory(w.in(QStringLiteral(".hid/deep"))));
        QVERIFY(makeDirectory(w.in(QStringLiteral("sub"))));
        QVERIFY(makeDirectory(w.out(QStringLiteral("elsewhere"))));
        const QStringList expected{w.in(QStringLiteral("a.cpp")), w.in(QStringLiteral(".b.cpp")),
                                   w.in(QStringLiteral(".hid/deep/c.swift")),
                                   w.in(QStringLiteral("sub/notes.txt"))};
        for (const QString &file : expected)
            QVERIFY(writeFile(file));
        QVERIFY(writeFile(w.out(QStringLiteral("elsewhere/far.cpp"))));
        QVERIFY(QFile::link(w.in(QStringLiteral("a.cpp")), w.in(QStringLiteral("link.cpp"))));
        QVERIFY(QFile::link(w.out(QStringLiteral("elsewhere")), w.in(QStringLiteral("dirlink"))));
        QCOMPARE(::mkfifo(QFile::encodeName(w.in(QStringLiteral("pipe.cpp"))).constData(), 0600),
                 0);
        QVERIFY(w.start());

        w.monitor.rescan();
        const QList<Recorder::Delivery> deliveries = w.recorder->deliveries();
        QCOMPARE(deliveries.size(), 1);
        QCOMPARE(deliveries[0].thread, QThread::currentThread());
        QStringList reported;
        for (const QUrl &file : deliveries[0].files)
            reported.append(file.toLocalFile());
        reported.sort();
        QStringList sortedExpected = expected;
        sortedExpected.sort();
        QCOMPARE(reported, sortedExpected);

        QVERIFY(w.monitor.isRunning());
        QVERIFY(w.settle());
    }

    void rescanOfATreeWithoutFilesOnlyRestarts()
    {
        Watched w;
        QVERIFY(makeDirectory(w.in(QStringLiteral("empty/inside"))));
        w.monitor.rescan();
        QVERIFY(w.recorder->deliveries().isEmpty());
        QVERIFY(w.monitor.isRunning());
        w.queue.sync([] {});
        QVERIFY(w.settle());
    }

    void startingARunningMonitorKeepsOneStream()
    {
        Watched w;
        QVERIFY(w.start());
        QVERIFY(w.start());
        QVERIFY(writeFile(w.in(QStringLiteral("once.cpp"))));
        QTRY_VERIFY(w.recorder->reported(w.in(QStringLiteral("once.cpp"))));
        QVERIFY(w.settle());
        QCOMPARE(w.recorder->timesReported(w.in(QStringLiteral("once.cpp"))), 1);
    }

    void refusedDirectoryAndLifecycle()
    {
        QTemporaryDir temporary;
        SerialQueue queue(QStringLiteral("test.fsmonitor"));
        auto recorder = std::make_shared<Recorder>();
        {
            DirectoryMonitor monitor(
                QUrl::fromLocalFile(temporary.path() + QStringLiteral("/missing/")), &queue,
                recorder);
            QCOMPARE(monitor.startMonitoring(), DirectoryMonitorError::failedToAccessResource);
            QVERIFY(!monitor.isRunning());
            QVERIFY(!monitor.hasAccess());
            monitor.stopMonitoring();
            monitor.rescan();
            QVERIFY(!monitor.isRunning());
            QCOMPARE(logLinesContaining(QStringLiteral("did deinit")), 0);
        }
        QCOMPARE(logLinesContaining(QStringLiteral("did deinit")), 1);
    }

    // Monitors stopped, destroyed or left without a delegate while their events wait for the
    // latency: none delivers. The probe's short latency runs out first, with the others' events
    // read and pending; it stops and destroys them right there, on the watch queue.
    void noDeliveryAfterStopDestructionOrLossOfTheDelegate()
    {
        Watched w(400ms);
        QVERIFY(w.start());
        const QUrl root = QUrl::fromLocalFile(w.root);
        auto stopped = std::make_shared<Recorder>();
        auto destroyed = std::make_shared<Recorder>();
        auto probe = std::make_shared<Recorder>();
        DirectoryMonitor stoppedMonitor(root, &w.queue, stopped, {20ms});
        auto destroyedMonitor = std::make_unique<DirectoryMonitor>(root, &w.queue, destroyed,
                                                                   DirectoryMonitor::Timings{20ms});
        DirectoryMonitor orphanedMonitor(root, &w.queue, std::make_shared<Recorder>(), {20ms});
        DirectoryMonitor probeMonitor(root, &w.queue, probe, {1ms});
        probe->onDelivery = [&] {
            stoppedMonitor.stopMonitoring();
            destroyedMonitor.reset();
        };
        for (DirectoryMonitor *monitor :
             {&stoppedMonitor, destroyedMonitor.get(), &orphanedMonitor, &probeMonitor})
            QVERIFY(!monitor->startMonitoring());
        w.queue.sync([] {});

        QVERIFY(writeFile(w.in(QStringLiteral("f.cpp"))));
        QTRY_VERIFY(w.recorder->reported(w.in(QStringLiteral("f.cpp"))));
        QVERIFY(probe->reported(w.in(QStringLiteral("f.cpp"))));
        QVERIFY(!destroyedMonitor);
        QVERIFY(!stoppedMonitor.isRunning());
        QVERIFY(stopped->deliveries().isEmpty());
        QVERIFY(destroyed->deliveries().isEmpty());
        QVERIFY(orphanedMonitor.isRunning());
    }

    // Events lost to a full queue are made up by looking at the tree again, for what changed.
    void anOverflowReportsTheChangedFilesOnly()
    {
        QFile limitFile(QStringLiteral("/proc/sys/fs/inotify/max_queued_events"));
        QVERIFY(limitFile.open(QIODevice::ReadOnly));
        const int queueLimit = limitFile.readAll().trimmed().toInt();
        if (queueLimit <= 0 || queueLimit > 100000)
            QSKIP("the inotify event queue is too large to overflow in a test");

        Watched w(50ms, 0ms);
        QVERIFY(makeDirectory(w.in(QStringLiteral("old"))));
        QVERIFY(writeFile(w.in(QStringLiteral("old/untouched.cpp"))));
        QVERIFY(writeFile(w.in(QStringLiteral("old/edited.cpp"))));
        QVERIFY(makeDirectory(w.in(QStringLiteral("burst"))));
        QVERIFY(w.start());
        struct stat info
        {};
        QCOMPARE(
            ::stat(QFile::encodeName(w.in(QStringLiteral("old/untouched.cpp"))).constData(), &info),
            0);
        // The file system clock must have moved on since the old files were written.
        QTRY_VERIFY([&] {
            timespec now{};
            clock_gettime(CLOCK_REALTIME_COARSE, &now);
            return now.tv_sec > info.st_ctim.tv_sec ||
                   (now.tv_sec == info.st_ctim.tv_sec && now.tv_nsec > info.st_ctim.tv_nsec);
        }());
        QVERIFY(w.settle());

        // Two events per file (created, closed) are more than the queue holds.
        QSemaphore hold;
        w.queue.post([&] { hold.acquire(); });
        const int count = queueLimit / 2 + 500;
        for (int i = 0; i < count; ++i)
            QVERIFY(writeFile(w.in(QStringLiteral("burst/f%1.cpp").arg(i))));
        QVERIFY(makeDirectory(w.in(QStringLiteral("late/inner"))));
        QVERIFY(writeFile(w.in(QStringLiteral("late/inner/g.cpp"))));
        QVERIFY(writeFile(w.in(QStringLiteral("old/edited.cpp")), "int edited;\n"));
        hold.release();

        QTRY_VERIFY_WITH_TIMEOUT(w.recorder->reported(w.in(QStringLiteral("old/edited.cpp"))),
                                 20000);
        QVERIFY(w.settle());
        for (int i = 0; i < count; ++i) {
            const QString file = w.in(QStringLiteral("burst/f%1.cpp").arg(i));
            QVERIFY2(w.recorder->reported(file), qPrintable(file));
        }
        QVERIFY(w.recorder->reported(w.in(QStringLiteral("late/inner/g.cpp"))));
        QVERIFY(!w.recorder->reported(w.in(QStringLiteral("old/untouched.cpp"))));
        QCOMPARE(logLinesContaining(QStringLiteral("the inotify event queue overflowed")), 1);

        // Still watched everywhere, including what appeared while events were lost.
        QVERIFY(writeFile(w.in(QStringLiteral("late/inner/h.cpp"))));
        QTRY_VERIFY(w.recorder->reported(w.in(QStringLiteral("late/inner/h.cpp"))));
    }

    void unreadableSubdirectoriesAreSkippedWithALogLine()
    {
        if (::geteuid() == 0 && !isRerun()) {
            rerunThrough({QStringLiteral("setpriv"),
                          QStringLiteral("--bounding-set=-dac_override,-dac_read_search"),
                          QStringLiteral("--inh-caps=-dac_override,-dac_read_search")});
            return;
        }
        Watched w;
        QVERIFY(makeDirectory(w.in(QStringLiteral("closed/inner"))));
        QVERIFY(makeDirectory(w.in(QStringLiteral("open"))));
        QVERIFY(QFile::setPermissions(w.in(QStringLiteral("closed")), QFileDevice::Permissions{}));
        const bool started = w.start();
        QVERIFY(QFile::setPermissions(w.in(QStringLiteral("closed")), QFileDevice::ReadOwner |
                                                                          QFileDevice::WriteOwner |
                                                                          QFileDevice::ExeOwner));
        QVERIFY(started);
        QCOMPARE(logLinesContaining(QStringLiteral("Skipped unreadable directory ") +
                                    w.in(QStringLiteral("closed"))),
                 1);
        QVERIFY(writeFile(w.in(QStringLiteral("open/a.cpp"))));
        QTRY_VERIFY(w.recorder->reported(w.in(QStringLiteral("open/a.cpp"))));
        QVERIFY(writeFile(w.in(QStringLiteral("closed/inner/b.cpp"))));
        QVERIFY(w.settle());
        QVERIFY(!w.recorder->reported(w.in(QStringLiteral("closed/inner/b.cpp"))));
    }

    // Four watches: the root and three of its five directories.
    void reachingTheWatchLimitLogsTheDirectoryAndKeepsTheRestWatched()
    {
        if (!isRerun()) {
            rerunThrough({QStringLiteral("unshare"), QStringLiteral("--user"),
                          QStringLiteral("--map-root-user"), QStringLiteral("sh"),
                          QStringLiteral("-c"),
                          QStringLiteral("echo 4 > /proc/sys/user/max_inotify_watches && "
                                         "exec \"$0\" \"$@\"")});
            return;
        }
        Watched w;
        const QStringList directories{QStringLiteral("d1"), QStringLiteral("d2"),
                                      QStringLiteral("d3"), QStringLiteral("d4"),
                                      QStringLiteral("d5")};
        for (const QString &directory : directories)
            QVERIFY(makeDirectory(w.in(directory)));
        QVERIFY(w.start());
        const QString limitText =
            QStringLiteral(": the inotify watch limit is reached (fs.inotify.max_user_watches = ");
        QCOMPARE(logLinesContaining(limitText), 1);
        QCOMPARE(logLinesContaining(QStringLiteral("(1 more directories not watched)")), 1);

        QVERIFY(writeFile(w.in(QStringLiteral("top.cpp"))));
        for (const QString &directory : directories)
            QVERIFY(writeFile(w.in(directory + QStringLiteral("/f.cpp"))));
        QVERIFY(w.settle());
        QVERIFY(w.recorder->reported(w.in(QStringLiteral("top.cpp"))));
        int watched = 0;
        for (const QString &directory : directories)
            watched += w.recorder->reported(w.in(directory + QStringLiteral("/f.cpp"))) ? 1 : 0;
        QCOMPARE(watched, 3);

        // A directory made later is named too.
        QVERIFY(makeDirectory(w.in(QStringLiteral("later"))));
        QVERIFY(w.settle());
        QCOMPARE(logLinesContaining(QStringLiteral("Could not watch ") +
                                    w.in(QStringLiteral("later")) + limitText),
                 1);
    }
};

SPRUCER_TEST_MAIN(TestDirectoryMonitor)
#include "TestDirectoryMonitor.moc"
