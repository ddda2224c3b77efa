// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/TreeCommand.h"

#include "cli/Lookup.h"
#include "cli/Targets.h"
#include "core/formatting/ConfigManagerFactory.h"
#include "core/git/GitRules.h"
#include "core/services/CoreServices.h"
#include "core/support/LocalPath.h"
#include "core/support/UserDefaults.h"
#include "core/watching/WatcherListStore.h"
#include "platform/Platform.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

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

void TreeCommand::offerStaged()
{
    m_offersStaged = true;
    m_parser.options().addOption(
        {QStringLiteral("staged"),
         QStringLiteral("The files staged in the repository of the working folder, as the next "
                        "commit holds them.")});
}

std::variant<QStringList, CommandReply>
TreeCommand::stagedFiles(const QList<CodeWatcherModel> &watchers, bool anyFolder)
{
    if (!m_parser.positional().isEmpty())
        return refused(QStringLiteral("--staged takes no PATH"));
    const GitWorkTrees::Found found = m_core->git().workTrees().find(QDir::currentPath());
    if (!found.repository)
        return refused(found.reason.isEmpty()
                           ? QStringLiteral("the working folder is in no git repository")
                           : found.reason);
    QStringList files;
    for (const QString &file : found.repository->stagedFiles()) {
        // A file staged and then deleted has no name on disk for its formatter to see; files
        // in no watcher's folder have no configuration unless one is named.
        if (!QFileInfo(file).isFile())
            continue;
        const bool watched = std::any_of(watchers.cbegin(), watchers.cend(), [&](const auto &w) {
            const QString folder = QDir::cleanPath(LocalPath::fromUrl(w.url));
            return file.startsWith(folder + u'/');
        });
        if (anyFolder || watched)
            files.append(file);
    }
    return files;
}

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
    const bool staged = m_offersStaged && m_parser.options().isSet(QStringLiteral("staged"));
    QStringList paths = m_parser.positional();
    if (staged) {
        std::variant<QStringList, CommandReply> files =
            stagedFiles(watchers, configuration.has_value());
        if (const auto *reply = std::get_if<CommandReply>(&files))
            return *reply;
        paths = std::get<QStringList>(std::move(files));
        if (paths.isEmpty())
            return std::nullopt; // nothing staged that a formatter takes
    }
    const Result<QList<TargetGroup>> groups = Targets::resolve(paths, configuration, watchers);
    if (!groups)
        return refused(groups.error().description);
    using Use = CoreServices::FixerUse;
    const Use use = staged ? Use::checkStaged : checkOnly ? Use::check : Use::format;
    for (const TargetGroup &group : groups.value()) {
        // As on a save: what git ignores stays alone for a watcher that respects it.
        const QStringList files = m_core->git().kept(group.watcher.id, group.files);
        if (files.isEmpty())
            continue;
        Result<std::shared_ptr<IFixer>> fixer = m_core->makeFixer(group.watcher, use);
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
