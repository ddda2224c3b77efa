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
#include <QRegularExpression>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <sys/stat.h>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

// Records every delivery; called on the watch queue, read on the main thread.
class Recorder : public DirectoryMonitorProtocol
{
public:
    void didObserveChanges(DirectoryMonitor *, const QStringList &paths) override
    {
        {
            QMutexLocker lock(&m_mutex);
            m_deliveries.append({paths, QThread::currentThread()});
        }
        if (onDelivery)
            onDelivery();
    }

    // Each delivery's paths, and the thread it came on.
    QList<std::pair<QStringList, QThread *>> deliveries() const
    {
        QMutexLocker lock(&m_mutex);
        return m_deliveries;
    }
    QStringList all() const
    {
        QStringList paths;
        for (const auto &delivery : deliveries())
            paths += delivery.first;
        return paths;
    }
    bool reported(const QString &path) const { return all().contains(path); }
    bool reportedAnythingUnder(const QString &folder) const
    {
        return !all()
                    .filter(QRegularExpression(u'^' + QRegularExpression::escape(folder + u'/')))
                    .isEmpty();
    }

    std::function<void()> onDelivery; // runs on the delivering thread

private:
    mutable QMutex m_mutex;
    QList<std::pair<QStringList, QThread *>> m_deliveries;
};

// Runs shell commands in `directory`, as a user's tools would change the tree.
bool shell(const QString &directory, const QString &commands)
{
    return QProcess::execute(u"sh"_s, {u"-c"_s, u"cd '"_s + directory + u"' && "_s + commands}) ==
           0;
}

int logLinesContaining(const QString &text)
{
    return int(LogFile::lines().filter(text).size());
}

// A temporary tree under watch, with a sibling folder outside it.
class Watched
{
public:
    explicit Watched(std::chrono::milliseconds latency = 50ms,
                     std::chrono::milliseconds timestampSlack = 2000ms)
        : monitor(QUrl::fromLocalFile(root + u'/'), environment({latency, timestampSlack}),
                  recorder)
    {
        QDir().mkpath(root);
        QDir().mkpath(outside);
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
        const QString path = in(u".settle-%1"_s.arg(++m_settles));
        return shell(root, u"echo > "_s + path) &&
               QTest::qWaitFor([&] { return recorder->reported(path); }, 5000);
    }

    DirectoryMonitor::Environment environment(DirectoryMonitor::Timings timings = {50ms})
    {
        const PlatformServices platform = Platform::services();
        return {&queue, platform.treeEventSources, &access, timings, platform.returnWatches};
    }

    QString in(const QString &relative) const { return root + u'/' + relative; }

private:
    QTemporaryDir m_temporary;
    int m_settles = 0;

public:
    const QString root = m_temporary.filePath(u"tree"_s);
    const QString outside = m_temporary.filePath(u"outside"_s);
    SerialQueue queue{u"test.fsmonitor"_s};
    SecurityScopedResourceManager access{TestHome::settings()};
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
    void aSaveIsReportedOnceOnTheWatchQueue()
    {
        Watched w;
        QVERIFY(w.start() && w.start());
        QVERIFY(w.monitor.isRunning() && w.monitor.hasAccess());
        QVERIFY(shell(w.root, u"echo > new.cpp"_s) && w.settle());
        QCOMPARE(w.recorder->all().count(w.in(u"new.cpp"_s)), 1);
        QThread *queueThread = nullptr;
        w.queue.sync([&] { queueThread = QThread::currentThread(); });
        QCOMPARE(w.recorder->deliveries().first().second, queueThread);
    }

    void changesAreReportedByTheirPaths_data()
    {
        QTest::addColumn<QString>("before");       // in the tree, before the monitor starts
        QTest::addColumn<QString>("change");       // while it runs
        QTest::addColumn<QStringList>("reported"); // relative to the tree
        QTest::addColumn<QString>("afterwards");   // once the change was reported
        QTest::addColumn<QStringList>("silent");   // nothing below these is ever reported
        const auto row = [](const char *name, const QString &before, const QString &change,
                            const QStringList &reported, const QString &afterwards = u":"_s,
                            const QStringList &silent = {}) {
            QTest::newRow(name) << before << change << reported << afterwards << silent;
        };
        row("renamed over the original (clang-format, JetBrains)", u"echo > m.cpp"_s,
            u"echo b > m.tmp && mv m.tmp m.cpp"_s, {u"m.cpp"_s});
        row("vim: a backup, then the new text", u"echo > m.cpp"_s,
            u"mv m.cpp m.cpp~ && echo b > m.cpp"_s, {u"m.cpp"_s, u"m.cpp~"_s});
        row("removed", u"echo > gone.cpp"_s, u"rm gone.cpp"_s, {u"gone.cpp"_s});
        row("new directories: watched, their files reported", u":"_s,
            u"mkdir -p made/deeper && echo > made/deeper/a.cpp"_s,
            {u"made"_s, u"made/deeper/a.cpp"_s, u"made/deeper/d.cpp"_s},
            u"echo > made/deeper/d.cpp"_s);
        row("moved in with hidden files",
            u"mkdir -p ../outside/p/.h && echo > ../outside/p/.h/c.cpp"_s, u"mv ../outside/p p"_s,
            {u"p"_s, u"p/.h/c.cpp"_s, u"p/.h/e.cpp"_s}, u"echo > p/.h/e.cpp"_s);
        row("renamed inside: still watched, files not reported",
            u"mkdir -p old/in && echo > old/in/k.cpp"_s, u"mv old new"_s,
            {u"old"_s, u"new"_s, u"new/in/f.cpp"_s}, u"echo > new/in/f.cpp"_s, {u"old"_s});
        row("moved out, and links to the outside",
            u"mkdir -p gone/in ../outside/e && ln -s ../outside/e before"_s,
            u"ln -s ../outside/e after && mv gone ../outside/left"_s, {u"gone"_s},
            u"echo > ../outside/left/in/a.cpp && echo > ../outside/e/b.cpp"_s,
            {u"gone"_s, u"before"_s, u"after"_s});
        // A file being formatted is copied beside it; the copy is not the project's.
        row("private copies of files being formatted", u"echo > m.cpp"_s,
            u"mkdir .sprucer-copy-a1 && echo b > .sprucer-copy-a1/m.cpp && echo c > m.cpp"_s,
            {u"m.cpp"_s}, u"echo d > .sprucer-copy-a1/m.cpp && rm -r .sprucer-copy-a1"_s,
            {u".sprucer-copy-a1"_s});
    }

    void changesAreReportedByTheirPaths()
    {
        QFETCH(QString, before);
        QFETCH(QString, change);
        QFETCH(QStringList, reported);
        QFETCH(QString, afterwards);
        QFETCH(QStringList, silent);
        Watched w;
        QVERIFY(shell(w.root, before) && w.start());
        QVERIFY(shell(w.root, change) && w.settle());
        QVERIFY(shell(w.root, afterwards) && w.settle());
        for (const QString &path : reported)
            QVERIFY2(w.recorder->reported(w.in(path)), qPrintable(path));
        for (const QString &folder : silent)
            QVERIFY2(!w.recorder->reportedAnythingUnder(w.in(folder)), qPrintable(folder));
        QVERIFY(!w.recorder->reportedAnythingUnder(w.outside));
    }

    // Reporting the creation would get the file formatted while it is still being written, and
    // the real save would then fall into the pipeline's echo window and be lost.
    void aFileStillBeingWrittenIsReportedWhenItsWriterCloses()
    {
        Watched w;
        QVERIFY(w.start());
        QFile slow(w.in(u"slow.cpp"_s));
        QVERIFY(slow.open(QIODevice::WriteOnly) && slow.write("int a;\n") > 0 && slow.flush());
        QVERIFY(w.settle() && !w.recorder->reported(slow.fileName()));
        slow.close();
        QTRY_COMPARE(w.recorder->all().count(slow.fileName()), 1);
    }

    void theRootGoingAwayStopsTheMonitorWithOneLogLine_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("reason");
        QTest::newRow("deleted") << u"rm -r ../tree"_s << u"the directory was deleted"_s;
        QTest::newRow("renamed") << u"mv ../tree ../moved"_s
                                 << u"the directory was moved or renamed"_s;
    }

    void theRootGoingAwayStopsTheMonitorWithOneLogLine()
    {
        QFETCH(QString, command);
        QFETCH(QString, reason);
        Watched w;
        QVERIFY(shell(w.root, u"mkdir sub"_s) && w.start());
        QVERIFY(shell(w.root, command));
        QTRY_VERIFY(!w.monitor.isRunning());
        const QString line = u"Stopped monitoring "_s + w.root + u": "_s;
        QCOMPARE(logLinesContaining(line), 1);
        QCOMPARE(logLinesContaining(line + reason), 1);
        w.monitor.stopMonitoring();
        QCOMPARE(w.monitor.startMonitoring(), DirectoryMonitorError::failedToAccessResource);
        w.monitor.rescan(); // refused too: stays stopped
        QVERIFY(!w.monitor.isRunning() && !w.monitor.hasAccess());

        QVERIFY(QDir().mkpath(w.root) && w.start()); // back again: it starts anew
        QVERIFY(w.settle());
    }

    // Regular files only, hidden ones included but not private copies; links are neither
    // reported nor followed. The walk is made on the watch queue, where it is reported.
    void rescanReportsEveryRegularFileOnceOnTheWatchQueue()
    {
        Watched w;
        QVERIFY(shell(w.root, u"mkdir -p empty/inside"_s));
        w.monitor.rescan(); // a stopped monitor is started for it
        QVERIFY(w.monitor.isRunning());
        w.queue.sync([] {});
        QVERIFY(w.recorder->deliveries().isEmpty()); // nothing to report: no call at all
        QVERIFY(shell(w.root, u"mkdir -p .h/deep ../outside/e && echo > a.cpp && echo > .b.cpp && "
                              u"echo > .h/deep/c.swift && echo > empty/n.txt && "
                              u"echo > ../outside/e/far.cpp && ln -s a.cpp link.cpp && "
                              u"ln -s ../outside/e dirlink && mkfifo pipe.cpp && "
                              u"mkdir .sprucer-copy-b2 && echo > .sprucer-copy-b2/a.cpp"_s));
        QVERIFY(w.settle());
        const qsizetype before = w.recorder->deliveries().size();

        w.monitor.rescan();
        QThread *queueThread = nullptr;
        w.queue.sync([&] { queueThread = QThread::currentThread(); });
        QCOMPARE(w.recorder->deliveries().size(), before + 1);
        QCOMPARE(w.recorder->deliveries().last().second, queueThread);
        QStringList reported = w.recorder->deliveries().last().first;
        reported.sort();
        QCOMPARE(reported,
                 (QStringList{w.in(u".b.cpp"_s), w.in(u".h/deep/c.swift"_s), w.in(u".settle-1"_s),
                              w.in(u"a.cpp"_s), w.in(u"empty/n.txt"_s)}));
        QVERIFY(w.monitor.isRunning() && w.settle());
    }

    // The stream runs on through a rescan: a file saved while the walk's report is handled,
    // after the walk passed it by, is reported by the stream.
    void aSaveDuringARescanIsReported()
    {
        Watched w;
        QVERIFY(shell(w.root, u"mkdir sub && echo > sub/old.cpp"_s) && w.start());
        std::atomic_bool saved = false;
        w.recorder->onDelivery = [&] {
            if (!saved.exchange(true))
                shell(w.root, u"echo > sub/during.cpp"_s);
        };
        w.monitor.rescan();
        w.queue.sync([] {});
        QVERIFY(saved);
        QVERIFY(w.recorder->deliveries().first().first.contains(w.in(u"sub/old.cpp"_s)));
        QVERIFY(!w.recorder->deliveries().first().first.contains(w.in(u"sub/during.cpp"_s)));
        QTRY_VERIFY(w.recorder->reported(w.in(u"sub/during.cpp"_s)));
    }

    // A rescan queued behind one whose report stops or destroys its monitor reports nothing.
    // The queue is held until both are asked for: a rescan asked for after the stop would start
    // the monitor again, and one of a destroyed monitor cannot be asked for.
    void aRescanOfAStoppedOrDestroyedMonitorReportsNothing()
    {
        Watched w;
        QVERIFY(shell(w.root, u"echo > a.cpp"_s) && w.start());
        w.recorder->onDelivery = [&] {
            w.monitor.stopMonitoring();
        };
        QSemaphore gate;
        w.queue.post([&gate] { gate.acquire(); });
        w.monitor.rescan();
        w.monitor.rescan();
        gate.release();
        w.queue.sync([] {});
        QCOMPARE(w.recorder->deliveries().size(), 1);
        QVERIFY(!w.monitor.isRunning());

        auto destroyed = std::make_shared<Recorder>();
        auto monitor = std::make_unique<DirectoryMonitor>(QUrl::fromLocalFile(w.root),
                                                          w.environment(), destroyed);
        destroyed->onDelivery = [&] {
            monitor.reset();
        };
        w.queue.post([&gate] { gate.acquire(); });
        monitor->rescan();
        monitor->rescan();
        gate.release();
        w.queue.sync([] {});
        QCOMPARE(destroyed->deliveries().size(), 1);
        QVERIFY(!monitor);
    }

    // Monitors stopped, destroyed or left without a delegate while their events wait for the
    // latency: none delivers. The probe's short latency runs out first, with the others' events
    // read and pending; it stops and destroys them right there, on the watch queue.
    void noDeliveryAfterStopDestructionOrLossOfTheDelegate()
    {
        Watched w(400ms);
        QVERIFY(w.start());
        const QUrl root = QUrl::fromLocalFile(w.root);
        auto stopped = std::make_shared<Recorder>(), destroyed = std::make_shared<Recorder>(),
             probe = std::make_shared<Recorder>();
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

        QVERIFY(shell(w.root, u"echo > f.cpp"_s));
        QTRY_VERIFY(w.recorder->reported(w.in(u"f.cpp"_s)));
        QVERIFY(probe->reported(w.in(u"f.cpp"_s)));
        QVERIFY(!destroyedMonitor && !stoppedMonitor.isRunning() && orphanedMonitor.isRunning());
        QVERIFY(stopped->deliveries().isEmpty() && destroyed->deliveries().isEmpty());
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
        QVERIFY(shell(w.root,
                      u"mkdir old burst && echo > old/untouched.cpp && echo > old/edited.cpp"_s));
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
        QVERIFY(shell(w.root, u"i=0; while [ $i -lt %1 ]; do echo > burst/f$i.cpp; i=$((i+1)); "
                              u"done; mkdir -p late/in && echo > late/in/g.cpp && echo b > "
                              u"old/edited.cpp"_s.arg(count)));
        hold.release();

        QTRY_VERIFY_WITH_TIMEOUT(w.recorder->reported(w.in(u"old/edited.cpp"_s)), 20000);
        QVERIFY(w.settle());
        for (int i = 0; i < count; ++i)
            QVERIFY2(w.recorder->reported(w.in(u"burst/f%1.cpp"_s.arg(i))),
                     qPrintable(QString::number(i)));
        QVERIFY(w.recorder->reported(w.in(u"late/in/g.cpp"_s)));
        QVERIFY(!w.recorder->reported(w.in(u"old/untouched.cpp"_s)));
        QCOMPARE(logLinesContaining(u"the inotify event queue overflowed"_s), 1);
        // Still watched everywhere, including what appeared while events were lost.
        QVERIFY(shell(w.root, u"echo > late/in/h.cpp"_s) && w.settle());
        QVERIFY(w.recorder->reported(w.in(u"late/in/h.cpp"_s)));
    }
};

SPRUCER_TEST_MAIN(TestDirectoryMonitor)
#include "TestDirectoryMonitor.moc"
