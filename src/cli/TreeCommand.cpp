// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/TreeCommand.h"

#include "cli/Lookup.h"
#include "cli/Targets.h"
#include "core/formatting/ConfigManagerFactory.h"
#include "core/git/GitRules.h"
#include "core/services/CoreServices.h"
#include "core/support/UserDefaults.h"
#include "core/watching/WatcherListStore.h"
#include "platform/Platform.h"

#include <QDir>

TreeCommand::TreeCommand(const QString &command, const QString &synopsis,
                         const QString &description)
    : m_command(command)
    , m_parser(command, synopsis, description)
{
    m_parser.options().addOption(
        {QStringLiteral("config"),
         QStringLiteral("The configuration for every path, by name or id (required for a path "
                        "in no watcher's folder)."),
         QStringLiteral("NAME|ID")});
    m_parser.options().addPositionalArgument(
        QStringLiteral("PATH"),
        QStringLiteral("Files or folders; by default every activated watcher's folder."));
}

TreeCommand::~TreeCommand() = default;

std::optional<CommandReply> TreeCommand::prepare(const QStringList &arguments, bool checkOnly)
{
    if (std::optional<CommandReply> stop = m_parser.parse(arguments, 0, 1 << 20))
        return stop;
    m_settings = std::make_unique<UserDefaults>();
    CoreServices::Options options;
    options.settings = m_settings.get();
    options.restoreWatchers = false;
    m_core = std::make_unique<CoreServices>(Platform::services(), std::move(options));

    std::optional<ConfigurationItem> configuration;
    if (m_parser.options().isSet(QStringLiteral("config"))) {
        Result<ConfigurationItem> found = Lookup::configuration(
            m_core->configurations().configs(), m_parser.options().value(QStringLiteral("config")));
        if (!found)
            return refused(found.error().description);
        configuration = found.value();
    }
    // Read only: the stored list stays as the window and the agent keep it.
    const QList<CodeWatcherModel> watchers = WatcherListStore(*m_settings).load();
    const Result<QList<TargetGroup>> groups =
        Targets::resolve(m_parser.positional(), configuration, watchers);
    if (!groups)
        return refused(groups.error().description);
    for (const TargetGroup &group : groups.value()) {
        // As on a save: what git ignores stays alone for a watcher that respects it.
        const QStringList files = m_core->git().kept(group.watcher.id, group.files);
        if (files.isEmpty())
            continue;
        Result<std::shared_ptr<IFixer>> fixer =
            m_core->makeFixer(group.watcher, checkOnly ? CoreServices::FixerUse::check
                                                       : CoreServices::FixerUse::format);
        if (!fixer)
            return refused(
                QStringLiteral("\"%1\": %2").arg(group.watcher.name, fixer.error().description));
        m_jobs.append(Job{group.watcher, fixer.value(), files});
    }
    return std::nullopt;
}

qsizetype TreeCommand::fileCount() const
{
    qsizetype count = 0;
    for (const Job &job : m_jobs)
        count += job.files.size();
    return count;
}

QString TreeCommand::shown(const QString &path)
{
    const QString here = QDir::currentPath() + u'/';
    return path.startsWith(here) ? path.mid(here.size()) : path;
}
