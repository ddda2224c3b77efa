// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the desktop application, with 20 watchers stored, against a minimal Qt Widgets
// program that shows one empty window, and (for the start) the same window with one label: the
// font system's start, which any window with words pays, is about half of the difference. All
// are this executable run as a child on the offscreen platform, in the same throw-away home:
//  - start: from starting the process to the first paint of its main window;
//  - rest: the window hidden, as when Sprucer lives in the tray: the context switches of all
//    its threads and its CPU time while nothing happens, and its resident memory.
#include "AgentHome.h"
#include "BenchFiles.h"
#include "FormattingHome.h"
#include "ProcessProbe.h"
#include "core/services/CoreServices.h"
#include "core/services/InstanceGuard.h"
#include "core/support/SprucerLogger.h"
#include "core/support/TerminationSignals.h"
#include "core/telemetry/TelemetryManager.h"
#include "core/telemetry/TelemetryManagerConfiguration.h"
#include "gui/shell/AppDelegate.h"
#include "gui/shell/MainWindow.h"
#include "gui/shell/OnBoardingCardView.h"
#include "gui/shell/SprucerApp.h"
#include "platform/Platform.h"
#include "support/LocalHttpResponder.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <csignal>
#include <functional>
#include <optional>
#include <vector>

namespace {

using BenchFiles::median;

constexpr int kWatchers = 20;
constexpr const char *kPaintedLine = "painted";

QTextStream out(stdout);

// --- The children ---------------------------------------------------------------------------

enum class ChildMode
{
    start, // quits once its window is painted
    rest   // hides its window once painted, and stays until SIGTERM
};

// Says "painted" on standard output once the first paint of the window `isWindow` picks is done,
// then runs `then`. Watches the whole application: a window may be painted inside its show().
class FirstPaint : public QObject
{
public:
    FirstPaint(std::function<bool(QObject *)> isWindow, std::function<void()> then)
        : m_isWindow(std::move(isWindow))
        , m_then(std::move(then))
    {
        qApp->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && m_isWindow(watched)) {
            qApp->removeEventFilter(this);
            // The window and its children are painted and flushed once this dispatch returns.
            QTimer::singleShot(0, this, [this] {
                QTextStream(stdout) << kPaintedLine << '\n' << Qt::flush;
                m_then();
            });
        }
        return false;
    }

private:
    std::function<bool(QObject *)> m_isWindow;
    std::function<void()> m_then;
};

void afterFirstPaint(ChildMode mode, QWidget *window)
{
    if (mode == ChildMode::start)
        QCoreApplication::quit();
    else
        window->hide();
}

// `withText`: the window shows one line of text, so the font system starts as in any window
// with words in it; the empty window never starts it.
int runPeer(QApplication &app, ChildMode mode, bool withText)
{
    QWidget window;
    window.resize(1200, 760); // the main window's size
    if (withText)
        (new QLabel(QStringLiteral("Sprucer"), &window))->move(20, 20);
    const FirstPaint painted([&window](QObject *watched) { return watched == &window; },
                             [&window, mode] { afterFirstPaint(mode, &window); });
    window.show();
    return app.exec();
}

// What `sprucer` does in its window mode, step by step, with the first paint reported.
int runApp(QApplication &app, ChildMode mode)
{
    QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("velmora.com"));
    QCoreApplication::setApplicationName(QStringLiteral("Sprucer"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SPRUCER_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.velmora.Sprucer"));
    InstanceGuard guard(InstanceGuard::Mode::window);
    if (!guard.acquire()) {
        QTextStream(stderr) << guard.refusalLine() << '\n';
        return 1;
    }
    TelemetryManager::initialize();
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &app,
                     [] { QCoreApplication::exit(0); });
    const PlatformServices platform = Platform::services();
    CoreServices::Options options;
    options.health.checksWait = true; // until the window has painted
    CoreServices services(platform, std::move(options));
    SprucerApp sprucer(services, platform);
    QObject::connect(&guard, &InstanceGuard::showWindowRequested, &sprucer.delegate(),
                     &AppDelegate::showMainWindow);
    const FirstPaint painted(
        [](QObject *watched) { return qobject_cast<MainWindow *>(watched) != nullptr; },
        [&sprucer, mode] {
            // The home is seeded as after the first run: a sheet here is the bench's fault.
            if (sprucer.onBoardingSheet()) {
                QTextStream(stderr) << "The onboarding sheet was shown: the start may include it\n";
                sprucer.onBoardingSheet()->reject();
            }
            afterFirstPaint(mode, sprucer.mainWindow());
        });
    sprucer.launch();
    app.exec();
    services.registry().shutdown();
    TelemetryManager::shutdown();
    services.settings().flush();
    SprucerLogger::shared().flush();
    return 0;
}

int runChild(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString role = QCoreApplication::arguments().value(1);
    const ChildMode mode = QCoreApplication::arguments().value(2) == QStringLiteral("rest")
                               ? ChildMode::rest
                               : ChildMode::start;
    if (role == QStringLiteral("child-app"))
        return runApp(app, mode);
    if (role == QStringLiteral("child-peer"))
        return runPeer(app, mode, false);
    if (role == QStringLiteral("child-peer-text"))
        return runPeer(app, mode, true);
    QTextStream(stderr) << "Unknown child " << role << '\n';
    return 2;
}

// --- The parent -----------------------------------------------------------------------------

// The start figures grow with the machine's load, more for the app (it starts several threads)
// than for the peer: each run says what the load was.
QString loadAverage()
{
    return QString::fromLatin1(ProcessProbe::readProc(QStringLiteral("/proc/loadavg")))
        .section(u' ', 0, 2);
}

void pause(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

QByteArray smallSource(int seed)
{
    return "#include \"module.h\"\n\n// TODO: check the bounds\nint   function_" +
           QByteArray::number(seed) + "( int a,int b ){int total=0;for(int i=a;i<b ;i++)" +
           "{total+=i;}return total ;}\n";
}

// Twenty small C++ projects, stored as watchers with the home's style, and the onboarding
// sheet seen, as on every start after the first.
void seedHome(const FormattingHome &home)
{
    QStringList folders;
    for (int project = 0; project < kWatchers; ++project) {
        folders << home.path() + QStringLiteral("/projects/project%1").arg(project);
        BenchFiles::writeFile(folders.last() + QStringLiteral("/src/module.h"),
                              "int function_0(int a, int b);\n");
        for (int file = 0; file < 3; ++file)
            BenchFiles::writeFile(folders.last() + QStringLiteral("/src/file%1.cpp").arg(file),
                                  smallSource(file));
    }
    home.settings().setValue(OnBoardingCardView::shouldBeOnBoardKey, false);
    AgentHome::storeWatchers(home, folders);
}

// Runs the event loop (so the analytics are answered) until `done` is emitted, the process ends
// or `ms` pass.
template <typename Sender, typename Signal>
void waitFor(const QProcess &process, const Sender &sender, Signal done, int ms)
{
    QEventLoop loop;
    QObject::connect(&sender, done, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// This executable as the app or the peer, in the home, on the offscreen platform.
class Child : public QObject
{
    Q_OBJECT

public:
    Child(const QString &role, ChildMode mode, QProcessEnvironment environment)
        : m_mode(mode)
    {
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(environment);
        // Quiet when all is well; a warning or a refusal is seen at once.
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        connect(&m_process, &QProcess::readyReadStandardOutput, this, &Child::readOutput);
        m_clock.start();
        m_process.start(
            QCoreApplication::applicationFilePath(),
            {role, mode == ChildMode::rest ? QStringLiteral("rest") : QStringLiteral("start")});
    }

    ~Child() override { finish(); }

    // Milliseconds from starting the process to its "painted" line; -1 when it did not come
    // within a minute.
    double waitForPaint()
    {
        if (m_paintedMs < 0 && m_process.state() != QProcess::NotRunning)
            waitFor(m_process, *this, &Child::painted, 60000);
        if (m_paintedMs < 0)
            QTextStream(stderr) << "A child never painted\n";
        return m_paintedMs;
    }

    qint64 pid() const { return m_process.processId(); }
    bool isRunning() const { return m_process.state() == QProcess::Running; }

    // Lets a child that quits on its own do so, and asks one at rest with SIGTERM, as at
    // logout; kills either after 30 s.
    void finish()
    {
        if (m_mode == ChildMode::start)
            waitForExit(30000);
        if (m_process.state() != QProcess::NotRunning)
            ::kill(pid_t(m_process.processId()), SIGTERM);
        waitForExit(30000);
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

Q_SIGNALS:
    void painted();

private:
    void readOutput()
    {
        m_said += m_process.readAllStandardOutput();
        if (m_paintedMs < 0 && m_said.split('\n').contains(kPaintedLine)) {
            m_paintedMs = m_clock.nsecsElapsed() / 1e6;
            Q_EMIT painted();
        }
    }

    void waitForExit(int ms)
    {
        if (m_process.state() != QProcess::NotRunning)
            waitFor(m_process, m_process, &QProcess::finished, ms);
    }

    ChildMode m_mode;
    QProcess m_process;
    QElapsedTimer m_clock;
    QByteArray m_said;
    double m_paintedMs = -1;
};

struct Timings
{
    std::vector<double> app;
    std::vector<double> peer;
    std::vector<double> peerWithText;
};

void addRun(std::vector<double> &times, const QString &role, const QProcessEnvironment &home)
{
    Child child(role, ChildMode::start, home);
    const double milliseconds = child.waitForPaint();
    if (milliseconds >= 0)
        times.push_back(milliseconds);
}

QString spread(const std::vector<double> &times)
{
    if (times.empty())
        return QStringLiteral("no run painted");
    return QStringLiteral("median %1 (min %2, max %3), %4 runs")
        .arg(median(times), 0, 'f', 1)
        .arg(*std::min_element(times.begin(), times.end()), 0, 'f', 1)
        .arg(*std::max_element(times.begin(), times.end()), 0, 'f', 1)
        .arg(times.size());
}

// Interleaved, each round in the other order; one untimed run of each first, which stores the
// watchers' bookmarks as the first start does, and warms the file cache.
void benchStart(const QProcessEnvironment &home, int repetitions)
{
    const QString app = QStringLiteral("child-app");
    const QString peer = QStringLiteral("child-peer");
    const QString peerWithText = QStringLiteral("child-peer-text");
    std::vector<double> untimed;
    addRun(untimed, app, home);
    addRun(untimed, peer, home);
    addRun(untimed, peerWithText, home);
    Timings timings;
    for (int round = 0; round < repetitions; ++round) {
        if (round % 2 == 0)
            addRun(timings.app, app, home);
        addRun(timings.peer, peer, home);
        addRun(timings.peerWithText, peerWithText, home);
        if (round % 2 == 1)
            addRun(timings.app, app, home);
    }
    out << "Start to the first paint of the main window, " << kWatchers << " watchers (ms):\n"
        << "  Sprucer          " << spread(timings.app) << "\n  peer (empty)     "
        << spread(timings.peer) << "\n  peer (one label) " << spread(timings.peerWithText) << '\n';
    if (!timings.app.empty() && !timings.peer.empty() && !timings.peerWithText.empty())
        out << "  Sprucer/peer "
            << QString::number(median(timings.app) / median(timings.peer), 'f', 2)
            << " (aim: at most 1.5); Sprucer/peer with text "
            << QString::number(median(timings.app) / median(timings.peerWithText), 'f', 2) << "\n";
    out << Qt::flush;
}

// What a process costs at rest.
struct Rest
{
    ProcessProbe::ThreadWakes wakes;
    long cpuTicks = 0;
    int threads = 0;
    long rssKb = 0;
    long anonKb = 0;
};

// Until the process has used no CPU for three seconds (at most two minutes).
void waitUntilQuiet(qint64 pid)
{
    ProcessProbe::Activity last = ProcessProbe::activity(pid);
    QElapsedTimer quiet;
    quiet.start();
    QDeadlineTimer giveUp(120000);
    while (quiet.elapsed() < 3000 && !giveUp.hasExpired()) {
        pause(250);
        const ProcessProbe::Activity now = ProcessProbe::activity(pid);
        if (now.cpuTicks != last.cpuTicks)
            quiet.restart();
        last = now;
    }
}

// A process watched from now on.
class RestProbe
{
public:
    explicit RestProbe(qint64 pid)
        : m_pid(pid)
        , m_threads(ProcessProbe::threadSwitches(pid))
        , m_start(ProcessProbe::activity(pid))
    {}

    Rest sinceStart() const
    {
        const ProcessProbe::Activity now = ProcessProbe::activity(m_pid);
        return Rest{ProcessProbe::wakesBetween(m_threads, ProcessProbe::threadSwitches(m_pid)),
                    now.cpuTicks - m_start.cpuTicks, now.threads, ProcessProbe::rssKb(m_pid),
                    ProcessProbe::statusKb(m_pid, "RssAnon")};
    }

private:
    qint64 m_pid;
    QMap<QString, long> m_threads;
    ProcessProbe::Activity m_start;
};

QString restLine(const char *who, const Rest &rest)
{
    return QStringLiteral("  %1 %2 context switches, %3 ms CPU; %4 MB resident (%5 MB "
                          "anonymous); %6 threads%7%8\n")
        .arg(QString::fromLatin1(who))
        .arg(rest.wakes.switches)
        .arg(rest.cpuTicks * ProcessProbe::msPerTick(), 0, 'f', 0)
        .arg(rest.rssKb / 1024.0, 0, 'f', 1)
        .arg(rest.anonKb / 1024.0, 0, 'f', 1)
        .arg(rest.threads)
        .arg(rest.wakes.ended == 0 ? QString()
                                   : QStringLiteral(", %1 ended meanwhile").arg(rest.wakes.ended))
        .arg(rest.wakes.woke.isEmpty() ? QString() : QStringLiteral("; woke:") + rest.wakes.woke);
}

// Both with the window hidden once painted. Each is left until it has used no CPU for 3 s,
// then `settle` seconds more, for idle pool threads to retire (they wait 30 s for work).
void benchRest(const QProcessEnvironment &home, int settle, int seconds)
{
    Child app(QStringLiteral("child-app"), ChildMode::rest, home);
    Child peer(QStringLiteral("child-peer"), ChildMode::rest, home);
    if (app.waitForPaint() < 0 || peer.waitForPaint() < 0) {
        out << "At rest: not measured, a child never painted\n" << Qt::flush;
        return;
    }
    waitUntilQuiet(app.pid());
    waitUntilQuiet(peer.pid());
    pause(settle * 1000);
    // Both over the same seconds, so that neither's start-up falls into the other's.
    const RestProbe appProbe(app.pid());
    const RestProbe peerProbe(peer.pid());
    pause(seconds * 1000);
    const Rest ours = appProbe.sinceStart();
    const Rest theirs = peerProbe.sinceStart();
    if (!app.isRunning() || !peer.isRunning()) {
        out << "At rest: not measured, a child exited meanwhile\n" << Qt::flush;
        return;
    }
    out << "At rest with the window hidden, " << kWatchers << " watchers, over " << seconds
        << " s after settling:\n"
        << restLine("Sprucer", ours) << restLine("peer   ", theirs)
        << "  resident memory Sprucer/peer "
        << QString::number(double(ours.rssKb) / double(theirs.rssKb), 'f', 2) << ", anonymous "
        << QString::number(double(ours.anonKb) / double(theirs.anonKb), 'f', 2) << '\n'
        << Qt::flush;
}

int runParent(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The desktop app against an empty window."));
    parser.addHelpOption();
    const QCommandLineOption reps(QStringLiteral("reps"),
                                  QStringLiteral("Timed starts of each (default 9)."),
                                  QStringLiteral("N"), QStringLiteral("9"));
    const QCommandLineOption idle(QStringLiteral("idle"),
                                  QStringLiteral("Seconds measured at rest (default 30)."),
                                  QStringLiteral("S"), QStringLiteral("30"));
    const QCommandLineOption settle(
        QStringLiteral("settle"),
        QStringLiteral("Seconds left before measuring, once quiet (default 31)."),
        QStringLiteral("S"), QStringLiteral("31"));
    parser.addOptions({reps, idle, settle});
    parser.addPositionalArgument(QStringLiteral("part"), QStringLiteral("start, rest (both)."),
                                 QStringLiteral("[part...]"));
    parser.process(app);
    const QStringList parts = parser.positionalArguments();

    if (FormattingHome::clangFormat().isEmpty())
        return 1;
    const FormattingHome home;
    seedHome(home);
    // The app's analytics come here and are all taken, so that it has nothing left to retry.
    const QUrl analytics = TelemetryManagerConfiguration::defaultApiBaseURL();
    std::optional<LocalHttpResponder> responder;
    if (analytics.host() == QStringLiteral("127.0.0.1"))
        responder.emplace(quint16(analytics.port(80)));
    else
        out << "The app sends its analytics to " << analytics.toString()
            << ": at rest it may still be retrying them\n";
    QProcessEnvironment environment = AgentHome::environment(home);
    // A desktop session's runtime folder is in memory. On disk, syncing the one-instance lock
    // waits for every other program's writes: once 56 ms, while another build ran.
    const QTemporaryDir runtime(QStringLiteral("/dev/shm/GuiBench-XXXXXX"));
    if (runtime.isValid())
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    else
        out << "No /dev/shm: the runtime folder is on disk, which may slow the app's start\n";
    out << "Load average (1, 5, 15 min): " << loadAverage() << '\n' << Qt::flush;
    if (parts.isEmpty() || parts.contains(QStringLiteral("start")))
        benchStart(environment, parser.value(reps).toInt());
    if (parts.isEmpty() || parts.contains(QStringLiteral("rest")))
        benchRest(environment, parser.value(settle).toInt(), parser.value(idle).toInt());
    out << "Load average at the end: " << loadAverage() << '\n';
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const bool isChild = argc > 1 && QByteArray(argv[1]).startsWith("child-");
    return isChild ? runChild(argc, argv) : runParent(argc, argv);
}

#include "GuiBench.moc"
