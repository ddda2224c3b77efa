// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"

#include "cli/CheckCommand.h"
#include "cli/CommandReply.h"
#include "cli/ExportConfigCommand.h"
#include "cli/FormatCommand.h"
#include "cli/HistoryCommand.h"
#include "cli/StoreCommand.h"
#include "cli/UndoCommand.h"
#include "core/support/Console.h"

namespace {

const QStringList kStoreCommands{QStringLiteral("config"), QStringLiteral("watcher")};
const QString kExportConfig = QStringLiteral("export-config");
const QString kCheck = QStringLiteral("check");
const QString kFormat = QStringLiteral("format");
const QString kHistory = QStringLiteral("history");
const QString kUndo = QStringLiteral("undo");

} // namespace

namespace CommandLine {

bool isSubcommand(const QString &first)
{
    return kStoreCommands.contains(first) || first == kExportConfig || first == kCheck ||
           first == kFormat || first == kHistory || first == kUndo;
}

int run(const QStringList &arguments)
{
    // Standard output is the command's answer, for scripts to read: the fixers' running
    // commentary for a terminal has no place in it.
    Console::setSink([](const QString &) {});
    const QString command = arguments.value(0);
    if (kStoreCommands.contains(command))
        return StoreCommand::run(arguments).print();
    if (command == kExportConfig)
        return ExportConfigCommand::run(arguments.mid(1)).print();
    if (command == kCheck)
        return CheckCommand::run(arguments.mid(1)).print();
    if (command == kFormat)
        return FormatCommand::run(arguments.mid(1)).print();
    if (command == kHistory)
        return HistoryCommand::run(arguments.mid(1)).print();
    if (command == kUndo)
        return UndoCommand::run(arguments.mid(1)).print();
    return CommandReply::refused(QStringLiteral("sprucer: unknown command ") + command).print();
}

QString overview()
{
    return QStringLiteral(
        "Commands (each with --help):\n"
        "  config list [--json]\n"
        "  config add NAME --language L (--file PATH | --stdin)\n"
        "  config remove NAME|ID\n"
        "  watcher list [--json]\n"
        "  watcher add DIR --language L --config NAME|ID [--name NAME] [--off]\n"
        "  watcher remove NAME|ID\n"
        "  watcher set NAME|ID [--on | --off] [--config NAME|ID] [--name NAME]\n"
        "  check [PATH...] [--config NAME|ID] [--diff] [--json]\n"
        "  format [PATH...] [--config NAME|ID]\n"
        "  export-config NAME|ID [DIR] [--force]\n"
        "  history [--json] [--limit N] [PATH]\n"
        "  history show ID\n"
        "  undo ID\n"
        "Exit status: 0 done, 1 changes found (check) or changed since (undo), 2 bad input;\n"
        "nothing is changed on 2.");
}

} // namespace CommandLine
