// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/SerialQueue.h"
#include "core/watching/DirectoryMonitor.h"
#include "core/watching/DirectoryMonitorProtocol.h"
#include "core/watching/SecurityScopedResourceManager.h"
#include "platform/Platform.h"
#include "support/LogFile.h"
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
using namespace Qt::StringLiterals;

namespace {

// Records every delivery; called on the watch queue, read on the main thread.
class Recorder : public DirectoryMonitorProtocol
{
public:
    struct Delivery
    {
        QStringList files;
        QThread *thread;
    };

    void didObserveChanges(DirectoryMonitor *, const QStringList &files) override
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
        int times = 0;
        for (const Delivery &delivery : deliveries())
            times += int(delivery.files.count(path));
        return times;
    }

    bool reported(const QString &path) const { return timesReported(path) > 0; }

    bool reportedAnythingUnder(const QString &folder) const
    {
        for (const Delivery &delivery : deliveries()) {
            for (const QString &file : delivery.files) {
                if (file.startsWith(folder + u'/'))
                    return true;
            }
        }
        return false;
    }

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
    return int(LogFile::lines().filter(text).size());
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
    environment.insert(QString::fromLatin1(kRerunVariable), u"1"_s);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(wrapper.first(),
                wrapper.mid(1) + QStringList{QCoreApplication::applicationFilePath(),
                                             QString::fromLatin1(QTest::currentTestFunction())});
    if (!child.waitForStarted())
        QSKIP(qPrintable(wrapper.first() + u" is not available"_s));
    QVERIFY(child.waitForFinished(90000));
    const QByteArray output = child.readAll();
    if (!output.contains("Totals:"))
        QSKIP(qPrintable(u"cannot run the test there: "_s + QString::fromUtf8(output)));
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             output.constData());
}

// A temporary tree under watch, with a sibling folder outside it.
class Watched
{
public:
    explicit Watched(std::chrono::milliseconds latency = 50ms,
                     std::chrono::milliseconds timestampSlack = 2000ms)
        : root(m_temporary.path() + u"/tree"_s)
        , outside(m_temporary.path() + u"/outside"_s)
        , monitor(QUrl::fromLocalFile(root + u'/'), environment({latency, timestampSlack}),
                  recorder)
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
        const QString path = root + u"/.settle-%1"_s.arg(++m_settles);
        return writeFile(path) && QTest::qWaitFor([&] { return recorder->reported(path); }, 5000);
    }

    DirectoryMonitor::Environment environment(DirectoryMonitor::Timings timings = {50ms})
    {
        return {&queue, Platform::services().treeEventSources, &access, timings};
    }

    QString in(const QString &relative) const { return root + u'/' + relative; }
    QString out(const QString &relative) const { return outside + u'/' + relative; }

private:
    QTemporaryDir m_temporary;
    int m_settles = 0;

public:
    const QString root;
    const QString outside;
    SerialQueue queue{u"test.fsmonitor"_s};
    SecurityScopedResourceManager access;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    DirectoryMonitor monitor;
};

} // namespace

class TestDirectoryMonitor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    // Started twice on purpose: a second stream would report every change twice.
    void savesAreReportedOnceOnTheWatchQueueUnderTheirRealName()
    {
        Watched w;
        const QString file = w.in(u"main.cpp"_s);
        QVERIFY(writeFile(file));
        QVERIFY(w.start());
        QVERIFY(w.start());
        QVERIFY(w.monitor.isRunning() && w.monitor.hasAccess());

        QVERIFY(writeFile(w.in(u"new.cpp"_s)));
        QVERIFY(w.settle());
        QCOMPARE(w.recorder->timesReported(w.in(u"new.cpp"_s)), 1);
        QThread *queueThread = nullptr;
        w.queue.sync([&] { queueThread = QThread::currentThread(); });
        QCOMPARE(w.recorder->deliveries().first().thread, queueThread);

        // clang-format -i and JetBrains: a temporary file renamed over the original.
        QVERIFY(writeFile(file + u".tmp"_s, "int a;\n"));
        QCOMPARE(::rename(QFile::encodeName(file + u".tmp"_s).constData(),
                          QFile::encodeName(file).constData()),
                 0);
        QTRY_COMPARE(w.recorder->timesReported(file), 1);
        // vim: the original renamed to a backup, the new text written under the real name.
        QVERIFY(w.settle());
        const int beforeVim = w.recorder->timesReported(file);
        QVERIFY(QFile::rename(file, file + u'~'));
        QVERIFY(writeFile(file, "int b;\n"));
        QTRY_VERIFY(w.recorder->timesReported(file) > beforeVim);
        QVERIFY(w.settle());
        const int beforeRemoval = w.recorder->timesReported(file);
        QVERIFY(QFile::remove(file));
        QTRY_COMPARE(w.recorder->timesReported(file), beforeRemoval + 1);
    }

    // Reporting the creation would get the file formatted while it is still being written, and
    // the real save would then fall into the pipeline's echo window and be lost.
    void aFileStillBeingWrittenIsReportedWhenItsWriterCloses()
    {
        Watched w;
        QVERIFY(w.start());
        QFile slow(w.in(u"slow.cpp"_s));
        QVERIFY(slow.open(QIODevice::WriteOnly));
        QVERIFY(slow.write("int first;\n") > 0 && slow.flush());
        QVERIFY(w.settle());
        QVERIFY(slow.write("int second;\n") > 0 && slow.flush());
        QVERIFY(w.settle());
        QVERIFY(!w.recorder->reported(slow.fileName()));

        slow.close();
        QTRY_COMPARE(w.recorder->timesReported(slow.fileName()), 1);
    }

    void newDirectoriesAreWatchedAndTheFilesAlreadyInThemReported()
    {
        Watched w;
        QVERIFY(w.start());
        QVERIFY(makeDirectory(w.in(u"made/deeper"_s)));
        QVERIFY(writeFile(w.in(u"made/deeper/a.cpp"_s)));
        QTRY_VERIFY(w.recorder->reported(w.in(u"made/deeper/a.cpp"_s)));
        QVERIFY(w.recorder->reported(w.in(u"made"_s)));

        QVERIFY(makeDirectory(w.out(u"pkg/src/.hidden"_s)));
        for (const QString &file : {u"pkg/top.h"_s, u"pkg/src/b.cpp"_s, u"pkg/src/.hidden/c.cpp"_s})
            QVERIFY(writeFile(w.out(file)));
        QVERIFY(QFile::rename(w.out(u"pkg"_s), w.in(u"made/pkg"_s)));
        for (const QString &file : {u"top.h"_s, u"src/b.cpp"_s, u"src/.hidden/c.cpp"_s})
            QTRY_VERIFY2(w.recorder->reported(w.in(u"made/pkg/"_s + file)), qPrintable(file));

        QVERIFY(writeFile(w.in(u"made/deeper/d.cpp"_s)));
        QVERIFY(writeFile(w.in(u"made/pkg/src/.hidden/e.cpp"_s)));
        QTRY_VERIFY(w.recorder->reported(w.in(u"made/deeper/d.cpp"_s)));
        QTRY_VERIFY(w.recorder->reported(w.in(u"made/pkg/src/.hidden/e.cpp"_s)));
    }

    void aDirectoryRenamedInsideTheTreeKeepsWatchingWithoutReportingItsFiles()
    {
        Watched w;
        QVERIFY(makeDirectory(w.in(u"old/inner"_s)));
        QVERIFY(writeFile(w.in(u"old/inner/kept.cpp"_s)));
        QVERIFY(w.start());

        QVERIFY(QFile::rename(w.in(u"old"_s), w.in(u"renamed"_s)));
        QVERIFY(w.settle());
        QVERIFY(w.recorder->reported(w.in(u"old"_s)) && w.recorder->reported(w.in(u"renamed"_s)));
        QVERIFY(!w.recorder->reportedAnythingUnder(w.in(u"renamed"_s)));

        QVERIFY(writeFile(w.in(u"renamed/inner/kept.cpp"_s), "int z;\n"));
        QTRY_VERIFY(w.recorder->reported(w.in(u"renamed/inner/kept.cpp"_s)));
        QVERIFY(!w.recorder->reportedAnythingUnder(w.in(u"old"_s)));
    }

    void nothingOutsideTheTreeIsReported()
    {
        Watched w;
        QVERIFY(makeDirectory(w.in(u"leaving/inner"_s)));
        QVERIFY(makeDirectory(w.out(u"elsewhere"_s)));
        QVERIFY(QFile::link(w.out(u"elsewhere"_s), w.in(u"linkedBefore"_s)));
        QVERIFY(w.start());
        QVERIFY(QFile::link(w.out(u"elsewhere"_s), w.in(u"linkedAfter"_s)));
        QVERIFY(QFile::rename(w.in(u"leaving"_s), w.out(u"left"_s)));
        QVERIFY(w.settle());
        QVERIFY(w.recorder->reported(w.in(u"leaving"_s)));

        QVERIFY(writeFile(w.out(u"left/inner/a.cpp"_s)));
        QVERIFY(writeFile(w.out(u"elsewhere/b.cpp"_s)));
        QVERIFY(w.settle());
        QVERIFY(!w.recorder->reportedAnythingUnder(w.outside));
        QVERIFY(!w.recorder->reportedAnythingUnder(w.in(u"leaving"_s)));
        QVERIFY(!w.recorder->reportedAnythingUnder(w.in(u"linkedBefore"_s)));
        QVERIFY(!w.recorder->reportedAnythingUnder(w.in(u"linkedAfter"_s)));
    }

    void theRootGoingAwayStopsTheMonitorWithOneLogLine_data()
    {
        QTest::addColumn<bool>("deleted");
        QTest::addColumn<QString>("reason");
        QTest::newRow("deleted") << true << u"the directory was deleted"_s;
        QTest::newRow("renamed") << false << u"the directory was moved or renamed"_s;
    }

    void theRootGoingAwayStopsTheMonitorWithOneLogLine()
    {
        QFETCH(bool, deleted);
        QFETCH(QString, reason);
        Watched w;
        QVERIFY(makeDirectory(w.in(u"sub"_s)));
        QVERIFY(w.start());

        QVERIFY(deleted ? QDir(w.root).removeRecursively()
                        : QFile::rename(w.root, w.out(u"moved"_s)));
        QTRY_VERIFY(!w.monitor.isRunning());
        const QString line = u"Stopped monitoring "_s + w.root + u": "_s;
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

    void rescanReportsEveryRegularFileOnceThenRestarts()
    {
        Watched w;
        QVERIFY(makeDirectory(w.in(u"empty/inside"_s)));
        w.monitor.rescan();
        QVERIFY(w.recorder->deliveries().isEmpty()); // nothing to report: no call at all
        QVERIFY(w.monitor.isRunning());

        QVERIFY(makeDirectory(w.in(u".hid/deep"_s)));
        QVERIFY(makeDirectory(w.out(u"elsewhere"_s)));
        QStringList expected{w.in(u"a.cpp"_s), w.in(u".b.cpp"_s), w.in(u".hid/deep/c.swift"_s),
                             w.in(u"empty/notes.txt"_s)};
        for (const QString &file : expected)
            QVERIFY(writeFile(file));
        QVERIFY(writeFile(w.out(u"elsewhere/far.cpp"_s)));
        QVERIFY(QFile::link(w.in(u"a.cpp"_s), w.in(u"link.cpp"_s)));
        QVERIFY(QFile::link(w.out(u"elsewhere"_s), w.in(u"dirlink"_s)));
        QCOMPARE(::mkfifo(QFile::encodeName(w.in(u"pipe.cpp"_s)).constData(), 0600), 0);
        QVERIFY(w.settle());
        const qsizetype before = w.recorder->deliveries().size();

        w.monitor.rescan();
        const QList<Recorder::Delivery> deliveries = w.recorder->deliveries();
        QCOMPARE(deliveries.size(), before + 1);
        QCOMPARE(deliveries.last().thread, QThread::currentThread());
        QStringList reported = deliveries.last().files;
        expected.append(w.in(u".settle-1"_s));
        reported.sort();
        expected.sort();
        QCOMPARE(reported, expected);

        QVERIFY(w.monitor.isRunning());
        w.queue.sync([] {});
        QVERIFY(w.settle());
    }

    void aRefusedDirectoryLeavesTheMonitorStopped()
    {
        Watched w;
        {
            DirectoryMonitor monitor(QUrl::fromLocalFile(w.out(u"missing/"_s)), w.environment(),
                                     w.recorder);
            QCOMPARE(monitor.startMonitoring(), DirectoryMonitorError::failedToAccessResource);
            QVERIFY(!monitor.isRunning() && !monitor.hasAccess());
            monitor.stopMonitoring();
            monitor.rescan();
            QVERIFY(!monitor.isRunning());
            QCOMPARE(logLinesContaining(u"did deinit"_s), 0);
        }
        QCOMPARE(logLinesContaining(u"did deinit"_s), 1);
        QVERIFY(w.recorder->deliveries().isEmpty());
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
        DirectoryMonitor stoppedMonitor(root, w.environment({20ms}), stopped);
        auto destroyedMonitor =
            std::make_unique<DirectoryMonitor>(root, w.environment({20ms}), destroyed);
        DirectoryMonitor orphanedMonitor(root, w.environment({20ms}), std::make_shared<Recorder>());
        DirectoryMonitor probeMonitor(root, w.environment({1ms}), probe);
        probe->onDelivery = [&] {
            stoppedMonitor.stopMonitoring();
            destroyedMonitor.reset();
        };
        for (DirectoryMonitor *monitor :
             {&stoppedMonitor, destroyedMonitor.get(), &orphanedMonitor, &probeMonitor})
            QVERIFY(!monitor->startMonitoring());
        w.queue.sync([] {});

        QVERIFY(writeFile(w.in(u"f.cpp"_s)));
        QTRY_VERIFY(w.recorder->reported(w.in(u"f.cpp"_s)));
        QVERIFY(probe->reported(w.in(u"f.cpp"_s)));
        QVERIFY(!destroyedMonitor && !stoppedMonitor.isRunning());
        QVERIFY(stopped->deliveries().isEmpty());
        QVERIFY(destroyed->deliveries().isEmpty());
        QVERIFY(orphanedMonitor.isRunning());
    }

    // Events lost to a full queue are made up by looking at the tree again, for what changed.
    void anOverflowReportsTheChangedFilesOnly()
    {
        QFile limitFile(u"/proc/sys/fs/inotify/max_queued_events"_s);
        QVERIFY(limitFile.open(QIODevice::ReadOnly));
        const int queueLimit = limitFile.readAll().trimmed().toInt();
        if (queueLimit <= 0 || queueLimit > 100000)
            QSKIP("the inotify event queue is too large to overflow in a test");

        Watched w(50ms, 0ms);
        QVERIFY(makeDirectory(w.in(u"old"_s)));
        QVERIFY(makeDirectory(w.in(u"burst"_s)));
        QVERIFY(writeFile(w.in(u"old/untouched.cpp"_s)));
        QVERIFY(writeFile(w.in(u"old/edited.cpp"_s)));
        QVERIFY(w.start());
        struct stat info = {};
        QCOMPARE(::stat(QFile::encodeName(w.in(u"old/untouched.cpp"_s)).constData(), &info), 0);
        // The file system clock must have moved on since the old files were written.
        QTRY_VERIFY([&] {
            timespec now{};
            clock_gettime(CLOCK_REALTIME_COARSE, &now);
            return now.tv_sec > info.st_ctim.tv_sec ||
                   (now.tv_sec == info.st_ctim.tv_sec && now.tv_nsec > info.st_ctim.tv_nsec);
        }());
        QVERIFY(w.settle());

        // Two events per file (created, closed): more than the queue holds.
        QSemaphore hold;
        w.queue.post([&] { hold.acquire(); });
        const int count = queueLimit / 2 + 500;
        for (int i = 0; i < count; ++i)
            QVERIFY(writeFile(w.in(u"burst/f%1.cpp"_s.arg(i))));
        QVERIFY(makeDirectory(w.in(u"late/inner"_s)));
        QVERIFY(writeFile(w.in(u"late/inner/g.cpp"_s)));
        QVERIFY(writeFile(w.in(u"old/edited.cpp"_s), "int edited;\n"));
        hold.release();

        QTRY_VERIFY_WITH_TIMEOUT(w.recorder->reported(w.in(u"old/edited.cpp"_s)), 20000);
        QVERIFY(w.settle());
        for (int i = 0; i < count; ++i)
            QVERIFY2(w.recorder->reported(w.in(u"burst/f%1.cpp"_s.arg(i))),
                     qPrintable(QString::number(i)));
        QVERIFY(w.recorder->reported(w.in(u"late/inner/g.cpp"_s)));
        QVERIFY(!w.recorder->reported(w.in(u"old/untouched.cpp"_s)));
        QCOMPARE(logLinesContaining(u"the inotify event queue overflowed"_s), 1);

        // Still watched everywhere, including what appeared while events were lost.
        QVERIFY(writeFile(w.in(u"late/inner/h.cpp"_s)));
        QTRY_VERIFY(w.recorder->reported(w.in(u"late/inner/h.cpp"_s)));
    }

    void unreadableSubdirectoriesAreSkippedWithALogLine()
    {
        if (::geteuid() == 0 && !isRerun()) {
            rerunThrough({u"setpriv"_s, u"--bounding-set=-dac_override,-dac_read_search"_s,
                          u"--inh-caps=-dac_override,-dac_read_search"_s});
            return;
        }
        Watched w;
        QVERIFY(makeDirectory(w.in(u"closed/inner"_s)));
        QVERIFY(makeDirectory(w.in(u"open"_s)));
        QVERIFY(QFile::setPermissions(w.in(u"closed"_s), QFileDevice::Permissions{}));
        const bool started = w.start();
        QVERIFY(QFile::setPermissions(w.in(u"closed"_s), QFileDevice::ReadOwner |
                                                             QFileDevice::WriteOwner |
                                                             QFileDevice::ExeOwner));
        QVERIFY(started);
        QCOMPARE(logLinesContaining(u"Skipped unreadable directory "_s + w.in(u"closed"_s)), 1);
        QVERIFY(writeFile(w.in(u"open/a.cpp"_s)));
        QVERIFY(writeFile(w.in(u"closed/inner/b.cpp"_s)));
        QVERIFY(w.settle());
        QVERIFY(w.recorder->reported(w.in(u"open/a.cpp"_s)));
        QVERIFY(!w.recorder->reported(w.in(u"closed/inner/b.cpp"_s)));
    }

    // Four watches: the root and three of its five directories.
    void reachingTheWatchLimitLogsTheDirectoryAndKeepsTheRestWatched()
    {
        if (!isRerun()) {
            rerunThrough({u"unshare"_s, u"--user"_s, u"--map-root-user"_s, u"sh"_s, u"-c"_s,
                          u"echo 4 > /proc/sys/user/max_inotify_watches && exec \"$0\" \"$@\""_s});
            return;
        }
        Watched w;
        const QStringList directories{u"d1"_s, u"d2"_s, u"d3"_s, u"d4"_s, u"d5"_s};
        for (const QString &directory : directories)
            QVERIFY(makeDirectory(w.in(directory)));
        QVERIFY(w.start());
        const QString limitText =
            u": the inotify watch limit is reached (fs.inotify.max_user_watches = "_s;
        QCOMPARE(logLinesContaining(limitText), 1);
        QCOMPARE(logLinesContaining(u"(1 more directories not watched)"_s), 1);

        QVERIFY(writeFile(w.in(u"top.cpp"_s)));
        for (const QString &directory : directories)
            QVERIFY(writeFile(w.in(directory + u"/f.cpp"_s)));
        QVERIFY(w.settle());
        QVERIFY(w.recorder->reported(w.in(u"top.cpp"_s)));
        int watched = 0;
        for (const QString &directory : directories)
            watched += w.recorder->reported(w.in(directory + u"/f.cpp"_s)) ? 1 : 0;
        QCOMPARE(watched, 3);

        QVERIFY(makeDirectory(w.in(u"later"_s)));
        QVERIFY(w.settle());
        QCOMPARE(logLinesContaining(u"Could not watch "_s + w.in(u"later"_s) + limitText), 1);
    }
};

SPRUCER_TEST_MAIN(TestDirectoryMonitor)
#include "TestDirectoryMonitor.moc"
