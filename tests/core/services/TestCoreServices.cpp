// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/MarkupIndex.h"
#include "core/support/UserDefaults.h"
#include "core/telemetry/TelemetryManager.h"
#include "core/telemetry/TelemetryTestSupport.h"
#include "support/CoreFixture.h"
#include "support/LocalHttpResponder.h"

#include <QDir>
#include <QElapsedTimer>

#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Context switches of every thread of the process but the test's own.
long otherThreadsSwitches()
{
    long switches = 0;
    const QString self = QString::number(::gettid());
    const QDir tasks(u"/proc/self/task"_s);
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (task == self)
            continue;
        QFile status(tasks.filePath(task + u"/status"_s));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:") ||
                line.startsWith("nonvoluntary_ctxt_switches:"))
                switches += line.mid(line.indexOf(':') + 1).trimmed().toLong();
        }
    }
    return switches;
}

// Timers that fire for objects of the test's thread while it runs its event loop.
class TimerEvents : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Timer ? 1 : 0;
        return false;
    }
};

} // namespace

class TestCoreServices : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }
    void cleanup() { TelemetryManager::shutdown(); }

    // A background agent with nothing to do must not wake: no timer, no poll of the analytics
    // service, no write of its settings.
    void aSettledAgentNeverWakes()
    {
        LocalHttpResponder analytics;
        LogCapture log;
        TelemetryManagerConfiguration configuration = testConfiguration(log, analytics.url());
        configuration.sendInterval = 100ms; // were it polling, it would poll in the window
        TelemetryManager::initialize(configuration);
        CoreFixture fixture;
        const QString project =
            fixture.makeProject(u"app"_s, {{u"main.cpp"_s, u"// TODO: settle down\n"_s}});
        const CodeWatcherModel watcher =
            fixture.makeWatcher(project, SupportedFileExtension::cpp, true);
        QVERIFY(fixture.registry().addWatcher(watcher));
        QTRY_COMPARE(fixture.core().markups().of(watcher.id).size(), 1);
        QTRY_VERIFY(!analytics.requests().isEmpty()); // the session's start went out

        // Settled: the threads finished what they were doing.
        QElapsedTimer settling;
        settling.start();
        long before = otherThreadsSwitches();
        for (long now = -1; now != before && settling.elapsed() < 10000;) {
            before = now < 0 ? before : now;
            QTest::qWait(300);
            now = otherThreadsSwitches();
        }
        const quint64 writes = TestHome::settings().writesToDisk();
        TimerEvents timers;
        QCoreApplication::instance()->installEventFilter(&timers);
        QTest::qWait(1000);
        QCoreApplication::instance()->removeEventFilter(&timers);

        QCOMPARE(otherThreadsSwitches() - before, 0);
        QCOMPARE(timers.count, 0);
        QCOMPARE(TestHome::settings().writesToDisk(), writes);
        QCOMPARE(analytics.requests().size(), 1);
    }
};

SPRUCER_TEST_MAIN(TestCoreServices)
#include "TestCoreServices.moc"
