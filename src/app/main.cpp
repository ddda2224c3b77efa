// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("velmora.com"));
    QCoreApplication::setApplicationName(QStringLiteral("Sprucer"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SPRUCER_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sprucer keeps source code formatted: it watches project folders and runs the\n"
        "language's formatter (clang-format, ktlint, SwiftLint) on every saved file."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    QTextStream(stderr) << QStringLiteral(
        "Sprucer's desktop window is not built yet; this release has no screens to show.\n"
        "Run `sprucer --help` to see what it can do.\n");
    return 1;
}
