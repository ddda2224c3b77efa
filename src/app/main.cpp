// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/services/CoreServices.h"
#include "core/support/SprucerLogger.h"
#include "core/support/TerminationSignals.h"
#include "core/support/UserDefaults.h"
#include "core/telemetry/TelemetryManager.h"
#include "platform/Platform.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace {

void setIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("velmora.com"));
    QCoreApplication::setApplicationName(QStringLiteral("Sprucer"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SPRUCER_VERSION));
}

// Keeps every activated watcher running, without a window, until SIGINT or SIGTERM.
int runHeadless(QCoreApplication &app)
{
    // Before anything can send a usage signal. Only the modes that run the event loop start it:
    // it takes over the unsent signals of the last run and writes them back when the loop ends.
    TelemetryManager::initialize();
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &app,
                     [&app] { app.quit(); });

    CoreServices services(Platform::services());
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

    // Tools under way get a short grace; every file formatted is counted before the process goes.
    registry.shutdown();
    TelemetryManager::shutdown();
    UserDefaults::flush();
    SprucerLogger::shared().flush();
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    setIdentity();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sprucer keeps source code formatted: it watches project folders and runs the\n"
        "language's formatter (clang-format, ktlint, SwiftLint) on every saved file."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Run without a window or tray icon: keep every activated watcher\n"
                       "running until SIGINT or SIGTERM, then exit with everything stored.\n"
                       "For machines without a desktop, for example as a user service."));
    parser.addOption(headless);
    parser.process(app);

    if (parser.isSet(headless))
        return runHeadless(app);

    QTextStream(stderr) << QStringLiteral(
        "Sprucer's desktop window is not built yet; this release has no screens to show.\n"
        "Run `sprucer --headless` to keep your watched folders formatted without a window,\n"
        "or `sprucer --help` to see what it can do.\n");
    return 1;
}
