// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"
#include "cli/StoreCommand.h"
#include "core/services/CoreServices.h"
#include "core/services/InstanceGuard.h"
#include "core/support/Log.h"
#include "core/support/SprucerLogger.h"
#include "core/support/TerminationSignals.h"
#include "core/telemetry/ParameterBoard.h"
#include "core/telemetry/TelemetryManager.h"
#include "gui/shell/AppDelegate.h"
#include "gui/shell/SprucerApp.h"
#include "gui/support/DisplayParameters.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QTextStream>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace {

void setIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("velmora.com"));
    QCoreApplication::setApplicationName(QStringLiteral("Sprucer"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SPRUCER_VERSION));
}

// Tools under way get a short grace; every file formatted is counted and stored before the
// process goes. False when something could not be stored: the exit status must say so.
bool shutDown(CoreServices &services)
{
    services.registry().shutdown();
    TelemetryManager::shutdown();
    const bool stored = services.settings().flushAtQuit();
    SprucerLogger::shared().flush();
    if (!stored)
        QTextStream(stderr) << "sprucer: not everything could be stored; see "
                            << SprucerLogger::shared().logFilePath() << '\n';
    return stored;
}

// Values the last run could not store went into the store before anything read it.
void tellRecoveredValues(const CoreServices &services)
{
    const UserDefaults::Recovered &recovered = services.recovered();
    if (recovered.keys.isEmpty())
        return;
    QTextStream(stderr) << QStringLiteral("sprucer: recovered %1 value(s) the last run could not "
                                          "store%2: %3\n")
                               .arg(recovered.keys.size())
                               .arg(recovered.onDisk ? QString()
                                                     : QStringLiteral(" (not on disk yet)"),
                                    recovered.keys.join(QStringLiteral(", ")));
}

// A command line's change of the stores is made here while this process runs, so that it takes
// effect at once.
void answerCommands(InstanceGuard &guard, CoreServices &services)
{
    guard.setCommandHandler(
        [&services](const QByteArray &request) { return StoreCommand::answer(request, services); });
}

// What both modes start first. The analytics client, before anything can send a usage signal;
// only the modes that run the event loop start it: it takes over the unsent signals of the last
// run and writes them back when the loop ends. And the loop ends on SIGINT or SIGTERM.
class RunStart
{
public:
    explicit RunStart(QCoreApplication &app,
                      TelemetryManagerConfiguration::ParameterProvider displayParameters = {})
    {
        startAnalytics(std::move(displayParameters));
        // Not quit(): in Qt 6 it first asks every window to close, and a window that hides to
        // the tray refuses, which cancels the quit.
        QObject::connect(&m_termination, &TerminationSignals::terminationRequested, &app,
                         [] { QCoreApplication::exit(0); });
    }

private:
    static void startAnalytics(TelemetryManagerConfiguration::ParameterProvider displayParameters)
    {
        if (!TelemetryManagerConfiguration::thisBuildHasService()) {
            Log::line(
                QStringLiteral("Analytics are off: this build was not given an analytics service "
                               "(SPRUCER_ANALYTICS_URL and SPRUCER_ANALYTICS_APP_ID)."));
            return;
        }
        TelemetryManagerConfiguration configuration = TelemetryManagerConfiguration::forThisBuild();
        configuration.defaultParameters = std::move(displayParameters);
        TelemetryManager::initialize(configuration);
    }

    TerminationSignals m_termination;
};

// Keeps every activated watcher running, without a window, until SIGINT or SIGTERM.
int runHeadless(QCoreApplication &app)
{
    // Two agents would both format every save and race on the stores.
    InstanceGuard guard(InstanceGuard::Mode::headless);
    // Set by our user unit, so that a later start can say how to stop the service.
    guard.setServiceName(qEnvironmentVariable("SPRUCER_SERVICE"));
    if (!guard.acquire()) {
        QTextStream(stderr) << guard.refusalLine() << '\n';
        return 1;
    }
    const RunStart start(app);
    CoreServices services(Platform::services());
    tellRecoveredValues(services);
    answerCommands(guard, services);
    MonitorRegistry &registry = services.registry();
    qsizetype running = 0;
    for (const MonitorEntry &entry : registry.monitors())
        running += entry.watcher.isActivated ? 1 : 0;
    QTextStream(stdout) << QStringLiteral("Sprucer is watching %1 of %2 folders. "
                                          "Stop it with Ctrl+C or SIGTERM.\n")
                               .arg(running)
                               .arg(registry.monitors().size())
                        << Qt::flush;

    app.exec();
    return shutDown(services) ? 0 : 1;
}

// The desktop application: main window, tray icon and menu, until Quit, SIGINT or SIGTERM.
int runWindow(QApplication &app)
{
    QGuiApplication::setDesktopFileName(QStringLiteral("com.velmora.Sprucer"));
    // A second start brings the running window to the front instead of making another agent.
    InstanceGuard guard(InstanceGuard::Mode::window);
    if (!guard.acquire()) {
        if (!guard.error() && guard.askToShowWindow() == InstanceGuard::ShowResult::shown)
            return 0;
        QTextStream(stderr) << guard.refusalLine() << '\n';
        // Started from a launcher, nobody reads standard error.
        QMessageBox::warning(nullptr, QStringLiteral("Sprucer"), guard.refusalLine());
        return 1;
    }
    // Known only here; handed to the analytics client, which reads them on its own thread.
    const auto displayBoard = std::make_shared<ParameterBoard>();
    const DisplayParameters display(displayBoard);
    const RunStart start(app, displayBoard->provider()); // before any window, tray or registry
    const PlatformServices platform = Platform::services();
    CoreServices::Options options;
    options.health.checksWait = true; // until the window has painted
    CoreServices services(platform, std::move(options));
    tellRecoveredValues(services);
    answerCommands(guard, services);
    SprucerApp sprucer(services, platform);
    QObject::connect(&guard, &InstanceGuard::showWindowRequested, &sprucer.delegate(),
                     &AppDelegate::showMainWindow);
    sprucer.launch();
    app.exec();
    // Gone from the screen at once; the tools under way may take a few seconds more.
    sprucer.hideForQuit();
    return shutDown(services) ? 0 : 1;
}

// The agent, and the help and version a packaging tool or a service manager may ask for, run
// where there is no display.
bool needsDisplay(int argc, char *argv[])
{
    static constexpr std::array withoutDisplay{"--headless", "--help",    "--help-all", "-h",
                                               "-?",         "--version", "-v"};
    return std::none_of(argv + 1, argv + argc, [](const char *argument) {
        return std::any_of(
            withoutDisplay.begin(), withoutDisplay.end(),
            [argument](const char *option) { return std::strcmp(argument, option) == 0; });
    });
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && CommandLine::isSubcommand(QString::fromLocal8Bit(argv[1]))) {
        const QCoreApplication app(argc, argv);
        setIdentity();
        return CommandLine::run(QCoreApplication::arguments().mid(1));
    }
    const std::unique_ptr<QCoreApplication> app =
        needsDisplay(argc, argv) ? std::make_unique<QApplication>(argc, argv)
                                 : std::make_unique<QCoreApplication>(argc, argv);
    setIdentity();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Sprucer keeps source code formatted: it watches project folders and runs the\n"
            "language's formatter (clang-format, ktlint, SwiftLint) on every saved file.\n\n") +
        CommandLine::overview());
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Run without a window or tray icon: keep every activated watcher\n"
                       "running until SIGINT or SIGTERM, then exit with everything stored.\n"
                       "For machines without a desktop, for example as a user service."));
    parser.addOption(headless);
    parser.process(*app);

    if (parser.isSet(headless))
        return runHeadless(*app);
    auto *application = qobject_cast<QApplication *>(app.get());
    // Only arguments the check above misread (say "-- --help") end here without a window.
    if (!application) {
        QTextStream(stderr) << "sprucer: unexpected arguments: "
                            << QCoreApplication::arguments().mid(1).join(u' ')
                            << "\nSee: sprucer --help\n";
        return 1;
    }
    return runWindow(*application);
}
