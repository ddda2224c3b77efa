// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Targets.h"

#include "core/support/LocalPath.h"
#include "core/watching/SourceFiles.h"
#include "core/watching/WatcherNesting.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {

Error targetError(const QString &description)
{
    return Error{QStringLiteral("CommandLine"), 2, description};
}

bool contains(const QString &folder, const QString &path)
{
    return path == folder || path.startsWith(folder + u'/');
}

// The group of `watcher`, made on first use, in the order the watchers come.
TargetGroup &groupOf(QList<TargetGroup> &groups, const CodeWatcherModel &watcher)
{
    for (TargetGroup &group : groups) {
        if (group.watcher.id == watcher.id &&
            group.watcher.configurationId == watcher.configurationId)
            return group;
    }
    groups.append(TargetGroup{watcher, {}});
    return groups.last();
}

// The files of the group's language under `path` that its watcher owns: a file of a watcher
// nested inside belongs to that one, as when it is saved.
void addFiles(TargetGroup &group, const QString &path, const QList<CodeWatcherModel> &watchers)
{
    const QList<WatcherNesting::Inner> inner =
        group.watcher.id.isNull() ? QList<WatcherNesting::Inner>()
                                  : WatcherNesting::innerOf(group.watcher, watchers);
    QSet<QString> present(group.files.cbegin(), group.files.cend());
    for (const QString &file : SourceFiles::of(group.watcher.codeKind, path, inner)) {
        if (!present.contains(file)) {
            group.files.append(file);
            present.insert(file);
        }
    }
}

CodeWatcherModel watcherFor(const ConfigurationItem &configuration, const QString &path)
{
    CodeWatcherModel watcher =
        CodeWatcherModel::make(configuration.name, LocalPath::directoryUrl(path),
                               configuration.language, configuration.id);
    watcher.id = QUuid(); // counted by language only: no watcher's row to count it in
    return watcher;
}

} // namespace

namespace Targets {

Result<QList<TargetGroup>> resolve(const QStringList &paths,
                                   const std::optional<ConfigurationItem> &configuration,
                                   const QList<CodeWatcherModel> &watchers)
{
    QList<TargetGroup> groups;
    if (paths.isEmpty() && !configuration) {
        for (const CodeWatcherModel &watcher : watchers) {
            if (watcher.isActivated)
                addFiles(groupOf(groups, watcher), LocalPath::fromUrl(watcher.url), watchers);
        }
        return groups;
    }
    const QStringList given = paths.isEmpty() ? QStringList{QDir::currentPath()} : paths;
    for (const QString &each : given) {
        const QFileInfo info(each);
        if (!info.exists())
            return targetError(QStringLiteral("\"%1\" does not exist").arg(each));
        const QString path = QDir::cleanPath(info.canonicalFilePath());
        if (configuration) {
            addFiles(groupOf(groups, watcherFor(*configuration, path)), path, watchers);
            continue;
        }
        bool inside = false;
        for (const CodeWatcherModel &watcher : watchers) {
            if (contains(QDir::cleanPath(LocalPath::fromUrl(watcher.url)), path)) {
                addFiles(groupOf(groups, watcher), path, watchers);
                inside = true;
            }
        }
        if (!inside)
            return targetError(QStringLiteral("\"%1\" is in no watcher's folder; name a "
                                              "configuration with --config")
                                   .arg(each));
    }
    return groups;
}

qsizetype fileCount(const QList<TargetGroup> &groups)
{
    qsizetype count = 0;
    for (const TargetGroup &group : groups)
        count += group.files.size();
    return count;
}

} // namespace Targets
