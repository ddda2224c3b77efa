// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ExportConfigCommand.h"

#include "cli/CommandParser.h"
#include "cli/Lookup.h"
#include "core/formatting/ConfigManagerFactory.h"
#include "core/formatting/ToolProfile.h"
#include "core/model/Languages.h"
#include "core/support/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

std::optional<QByteArray> readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

} // namespace

namespace ExportConfigCommand {

CommandReply run(const QStringList &arguments)
{
    CommandParser parser(QStringLiteral("export-config"), QStringLiteral("NAME|ID [DIR] [--force]"),
                         QStringLiteral("Writes the configuration as its tool's project file "
                                        "into DIR (default: the current folder)."));
    parser.options().addOption(
        {QStringLiteral("force"), QStringLiteral("Replace a different file of that name.")});
    if (std::optional<CommandReply> stop = parser.parse(arguments, 1, 2))
        return *stop;
    const QString folder = parser.positional().value(1, QDir::currentPath());
    if (!QFileInfo(folder).isDir())
        return parser.wrong(QStringLiteral("\"%1\" is not a folder").arg(folder));

    UserDefaults settings;
    const ConfigManagerFactory configurations(settings);
    const Result<ConfigurationItem> found =
        Lookup::configuration(configurations.configs(), parser.positional().first());
    if (!found)
        return parser.wrong(found.error().description);
    const std::optional<QByteArray> text = readAll(found.value().path.toLocalFile());
    if (!text)
        return parser.wrong(QStringLiteral("the file of \"%1\" cannot be read: %2")
                                .arg(found.value().name, found.value().path.toLocalFile()));

    const QString target =
        QDir(folder).filePath(ToolProfile::of(found.value().language).load.fileName);
    const std::optional<QByteArray> existing = readAll(target);
    if (existing == text)
        return CommandReply::done(target + QStringLiteral(" is already up to date\n"));
    if (existing && !parser.options().isSet(QStringLiteral("force")))
        return parser.wrong(
            QStringLiteral("%1 exists and differs; nothing was written (--force replaces it)")
                .arg(target));
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(*text) != text->size() || !file.commit())
        return parser.wrong(
            QStringLiteral("could not write %1: %2").arg(target, file.errorString()));
    return CommandReply::done(QStringLiteral("Wrote ") + target + u'\n');
}

} // namespace ExportConfigCommand
