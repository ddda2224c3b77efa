// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/services/InstanceGuard.h"
#include "support/TestMain.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;
using Mode = InstanceGuard::Mode;
using ShowResult = InstanceGuard::ShowResult;

namespace {

// The lock counts this process's own pid as the holder, so the other instance is this binary
// started again in one of two roles:
//   --hold-instance <folder> window|headless [unit]
//                                             acquires, says "ready", serves until stdin closes;
//                                             says "show" for each request for the window
//   --ask-instance <folder>                   says "<pid> <mode> <answer>" of the holder
constexpr const char *holdRole = "--hold-instance";
constexpr const char *askRole = "--ask-instance";

void say(const char *line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

int runAsOtherInstance(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[2]);
    if (qstrcmp(argv[1], holdRole) == 0) {
        const bool window = argc > 3 && qstrcmp(argv[3], "window") == 0;
        InstanceGuard guard(window ? Mode::window : Mode::headless, folder);
        if (argc > 4)
            guard.setServiceName(QString::fromLocal8Bit(argv[4]));
        if (!guard.acquire())
            return 2;
        QObject::connect(&guard, &InstanceGuard::showWindowRequested, [] { say("show"); });
        QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(&input, &QSocketNotifier::activated, &app, [&app] {
            char buffer[64];
            if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
                app.quit();
        });
        say("ready");
        return app.exec();
    }
    InstanceGuard guard(Mode::window, folder);
    if (guard.acquire())
        return 2;
    const InstanceGuard::RunningInstance holder = *guard.runningInstance();
    const char *mode = !holder.mode                   ? "unknown"
                       : *holder.mode == Mode::window ? "window"
                                                      : "headless";
    const ShowResult answer = guard.askToShowWindow();
    std::printf("%lld %s %s\n", holder.pid, mode,
                answer == ShowResult::shown      ? "shown"
                : answer == ShowResult::headless ? "headless"
                                                 : "noAnswer");
    return 0;
}

void start(QProcess &process, const QStringList &arguments)
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QCoreApplication::applicationFilePath(), arguments);
}

QByteArray nextLine(QProcess &process)
{
    const QDeadlineTimer deadline(20000);
    while (!process.canReadLine() && process.waitForReadyRead(int(deadline.remainingTime())))
        ;
    return process.readLine().trimmed();
}

} // namespace

class TestInstanceGuard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void laterInstanceIsRefusedAndLearnsWhoRuns()
    {
        QTemporaryDir folder;
        QProcess holder;
        start(holder, {QString::fromLatin1(holdRole), folder.path(), u"headless"_s});
        QCOMPARE(nextLine(holder), "ready");

        InstanceGuard later(Mode::window, folder.path());
        QVERIFY(!later.acquire());
        QVERIFY(!later.error());
        QVERIFY(later.runningInstance());
        const qint64 pid = later.runningInstance()->pid;
        QCOMPARE(pid, holder.processId());
        QCOMPARE(later.runningInstance()->mode, Mode::headless);
        QCOMPARE(later.refusalLine(), u"Sprucer is already running (process %1, without a window). "
                                      u"Stop it first, for example with: kill %1"_s.arg(pid));
        QCOMPARE(later.askToShowWindow(), ShowResult::headless);

        // A holder too busy to answer costs the asker its timeout, and the late answer to a
        // gone asker costs the holder nothing.
        ::kill(pid_t(pid), SIGSTOP);
        QCOMPARE(later.askToShowWindow(300), ShowResult::noAnswer);
        ::kill(pid_t(pid), SIGCONT);
        QCOMPARE(later.askToShowWindow(), ShowResult::headless);

        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(20000));
        QCOMPARE(holder.exitStatus(), QProcess::NormalExit);
        QCOMPARE(holder.exitCode(), 0);
        QVERIFY(later.acquire());
    }

    // An agent run by the user's service manager is stopped through it, or it would come back
    // at the next login. Only a plain unit name is offered as a command to run.
    void agentRunAsAServiceIsStoppedThroughIt()
    {
        // The refusal with the holder's pid written as %1.
        const auto refusalWith = [](const QString &unit) {
            QTemporaryDir folder;
            QProcess holder;
            start(holder, {QString::fromLatin1(holdRole), folder.path(), u"headless"_s, unit});
            if (nextLine(holder) != "ready")
                return u"no holder"_s;
            InstanceGuard later(Mode::window, folder.path());
            QString line = later.acquire() ? u"acquired"_s : later.refusalLine();
            line.replace(QString::number(holder.processId()), u"%1"_s);
            holder.closeWriteChannel();
            holder.waitForFinished(20000);
            return line;
        };
        QCOMPARE(refusalWith(u"sprucer.service"_s),
                 u"Sprucer is already running (process %1, without a window, as the user "
                 u"service sprucer.service). Stop it first with: systemctl --user stop "
                 u"sprucer.service"_s);
        QCOMPARE(refusalWith(u"x.service; rm -rf ~"_s),
                 u"Sprucer is already running (process %1, without a window). Stop it first, "
                 u"for example with: kill %1"_s);
    }

    void killedHolderIsTakenOverAndTheNewOneShowsItsWindow()
    {
        QTemporaryDir folder;
        QProcess killed;
        start(killed, {QString::fromLatin1(holdRole), folder.path(), u"headless"_s});
        QCOMPARE(nextLine(killed), "ready");
        ::kill(pid_t(killed.processId()), SIGKILL);
        QVERIFY(killed.waitForFinished(20000));

        InstanceGuard guard(Mode::window, folder.path());
        QSignalSpy shows(&guard, &InstanceGuard::showWindowRequested);
        QVERIFY(guard.acquire());

        // The answer comes from this thread's event loop, which QTRY runs.
        QProcess asker;
        start(asker, {QString::fromLatin1(askRole), folder.path()});
        QTRY_COMPARE_WITH_TIMEOUT(asker.state(), QProcess::NotRunning, 20000);
        QCOMPARE(asker.exitCode(), 0);
        QCOMPARE(asker.readLine().trimmed(),
                 QByteArray::number(QCoreApplication::applicationPid()) + " window shown");
        QCOMPARE(shows.count(), 1);
    }

    void defaultFolderWithoutRuntimeDirectoryIsInTheCaches()
    {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        qunsetenv("XDG_RUNTIME_DIR");
        const QString folder = InstanceGuard::defaultFolder();
        if (!runtime.isEmpty())
            qputenv("XDG_RUNTIME_DIR", runtime);
        QCOMPARE(folder, TestHome::current().cacheDirectory() + u"/Sprucer"_s);
    }
};

int main(int argc, char *argv[])
{
    if (argc > 2 && (qstrcmp(argv[1], holdRole) == 0 || qstrcmp(argv[1], askRole) == 0))
        return runAsOtherInstance(argc, argv);
    TestHome home;
    QCoreApplication app(argc, argv);
    TestInstanceGuard test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "TestInstanceGuard.moc"
