// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/WatcherCommand.h"

#include "cli/CommandParser.h"
#include "cli/Lookup.h"
#include "cli/StoreAccess.h"
#include "cli/Verbs.h"
#include "core/formatting/ConfigManagerFactory.h"
#include "core/model/Languages.h"
#include "core/support/LocalPath.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

const QString kCommand = QStringLiteral("command");
const QString kWatcher = QStringLiteral("watcher");
const QString kDirectory = QStringLiteral("directory");
const QString kLanguage = QStringLiteral("language");
const QString kConfig = QStringLiteral("config");
const QString kName = QStringLiteral("name");
const QString kActivated = QStringLiteral("activated");
const QString kChangedLines = QStringLiteral("changed-lines");
const QString kRespectGitignore = QStringLiteral("respect-gitignore");
const QString kChangedLinesField = QStringLiteral("changedLines");
const QString kRespectGitignoreField = QStringLiteral("respectGitignore");

// What a watcher's row says of its git options, after its other columns.
QString gitBadges(const GitOptions &options)
{
    QString badges;
    if (options.changedLinesOnly)
        badges += QStringLiteral("  [only changed lines]");
    if (options.respectGitignore)
        badges += QStringLiteral("  [skips git-ignored files]");
    return badges;
}

QString idText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces);
}

QString configurationName(const QList<ConfigurationItem> &all, const QUuid &id)
{
    for (const ConfigurationItem &item : all) {
        if (item.id == id)
            return item.name;
    }
    return {};
}

CommandReply list(const QStringList &arguments, StoreAccess &stores)
{
    CommandParser parser(QStringLiteral("watcher list"), QStringLiteral("[--json]"),
                         QStringLiteral("Lists the stored watchers."));
    parser.options().addOption({QStringLiteral("json"), QStringLiteral("One JSON array.")});
    if (std::optional<CommandReply> stop = parser.parse(arguments, 0, 0))
        return *stop;
    const QList<ConfigurationItem> configurations = stores.configurations().configs();
    const QList<CodeWatcherModel> watchers = stores.watchers();
    if (parser.options().isSet(QStringLiteral("json"))) {
        QJsonArray array;
        for (const CodeWatcherModel &watcher : watchers) {
            const GitOptions git = stores.gitOptions(watcher.id);
            array.append(QJsonObject{
                {QStringLiteral("id"), idText(watcher.id)},
                {kName, watcher.name},
                {kDirectory, LocalPath::fromUrl(watcher.url)},
                {kLanguage, Languages::of(watcher.codeKind).code},
                {QStringLiteral("configuration"),
                 QJsonObject{{QStringLiteral("id"), idText(watcher.configurationId)},
                             {kName, configurationName(configurations, watcher.configurationId)}}},
                {kActivated, watcher.isActivated},
                {kChangedLinesField, git.changedLinesOnly},
                {kRespectGitignoreField, git.respectGitignore}});
        }
        return CommandReply::done(QString::fromUtf8(QJsonDocument(array).toJson()));
    }
    QString out;
    for (const CodeWatcherModel &watcher : watchers)
        out += QStringLiteral("%1  %2  %3  %4  %5  (%6)%7\n")
                   .arg(idText(watcher.id),
                        watcher.isActivated ? QStringLiteral("on ") : QStringLiteral("off"),
                        Languages::of(watcher.codeKind).code.leftJustified(10), watcher.name,
                        LocalPath::fromUrl(watcher.url),
                        configurationName(configurations, watcher.configurationId),
                        gitBadges(stores.gitOptions(watcher.id)));
    return CommandReply::done(out);
}

void addSwitches(QCommandLineParser &options)
{
    options.addOption({QStringLiteral("on"), QStringLiteral("Watch the folder (the default).")});
    options.addOption({QStringLiteral("off"), QStringLiteral("Store the watcher switched off.")});
    options.addOption(
        {kConfig, QStringLiteral("The configuration, by name or id."), QStringLiteral("NAME|ID")});
    options.addOption({kName, QStringLiteral("The watcher's name."), QStringLiteral("NAME")});
    options.addOption({kChangedLines,
                       QStringLiteral("Keep only the formatter's changes to lines changed since "
                                      "git's last commit."),
                       QStringLiteral("on|off")});
    options.addOption({kRespectGitignore,
                       QStringLiteral("Leave alone the files git ignores (on for a new watcher)."),
                       QStringLiteral("on|off")});
}

// The git switches given, into the request; a reply when one is neither "on" nor "off".
std::optional<CommandReply> readGitSwitches(CommandParser &parser, QJsonObject &request)
{
    const std::pair<QString, QString> switches[] = {{kChangedLines, kChangedLinesField},
                                                    {kRespectGitignore, kRespectGitignoreField}};
    for (const auto &[option, field] : switches) {
        if (!parser.options().isSet(option))
            continue;
        const QString value = parser.options().value(option);
        if (value != QStringLiteral("on") && value != QStringLiteral("off"))
            return parser.wrong(QStringLiteral("--%1 takes on or off").arg(option));
        request.insert(field, value == QStringLiteral("on"));
    }
    return std::nullopt;
}

// The stored options with the request's switches applied.
GitOptions requestedGitOptions(const QJsonObject &request, GitOptions options)
{
    options.changedLinesOnly = request.value(kChangedLinesField).toBool(options.changedLinesOnly);
    options.respectGitignore =
        request.value(kRespectGitignoreField).toBool(options.respectGitignore);
    return options;
}

bool hasGitSwitches(const QJsonObject &request)
{
    return request.contains(kChangedLinesField) || request.contains(kRespectGitignoreField);
}

std::variant<QJsonObject, CommandReply> readAdd(const QStringList &arguments)
{
    CommandParser parser(QStringLiteral("watcher add"),
                         QStringLiteral("DIR --language L --config NAME|ID [--name NAME] [--off] "
                                        "[--changed-lines on|off] [--respect-gitignore on|off]"),
                         QStringLiteral("Watches DIR and formats the files of the language saved "
                                        "in it with the configuration."));
    QCommandLineParser &options = parser.options();
    options.addOption({kLanguage, Lookup::languageCodes(), QStringLiteral("L")});
    addSwitches(options);
    if (std::optional<CommandReply> stop = parser.parse(arguments, 1, 1))
        return *stop;
    const QFileInfo directory(parser.positional().first());
    if (!directory.isDir())
        return parser.wrong(QStringLiteral("\"%1\" is not a folder").arg(directory.filePath()));
    if (!options.isSet(kLanguage) || !options.isSet(kConfig))
        return parser.wrong(QStringLiteral("--language and --config are required"));
    const Result<SupportedFileExtension> language = Lookup::language(options.value(kLanguage));
    if (!language)
        return parser.wrong(language.error().description);
    if (options.isSet(QStringLiteral("on")) && options.isSet(QStringLiteral("off")))
        return parser.wrong(QStringLiteral("give --on or --off, not both"));
    const QString path = QDir::cleanPath(directory.canonicalFilePath());
    const QString name =
        options.isSet(kName) ? options.value(kName).trimmed() : QFileInfo(path).fileName();
    QJsonObject request{{kCommand, QStringLiteral("watcher add")},
                        {kDirectory, path},
                        {kLanguage, Languages::of(language.value()).code},
                        {kConfig, options.value(kConfig)},
                        {kName, name.isEmpty() ? path : name},
                        {kActivated, !options.isSet(QStringLiteral("off"))}};
    if (std::optional<CommandReply> wrong = readGitSwitches(parser, request))
        return *wrong;
    return request;
}

std::variant<QJsonObject, CommandReply> readRemove(const QStringList &arguments)
{
    CommandParser parser(QStringLiteral("watcher remove"), QStringLiteral("NAME|ID"),
                         QStringLiteral("Stops and removes a watcher. Its folder is untouched."));
    if (std::optional<CommandReply> stop = parser.parse(arguments, 1, 1))
        return *stop;
    return QJsonObject{{kCommand, QStringLiteral("watcher remove")},
                       {kWatcher, parser.positional().first()}};
}

std::variant<QJsonObject, CommandReply> readSet(const QStringList &arguments)
{
    CommandParser parser(QStringLiteral("watcher set"),
                         QStringLiteral("NAME|ID [--on | --off] [--config NAME|ID] [--name NAME] "
                                        "[--changed-lines on|off] [--respect-gitignore on|off]"),
                         QStringLiteral("Switches a watcher on or off, gives it another "
                                        "configuration, renames it or sets how it treats git."));
    QCommandLineParser &options = parser.options();
    addSwitches(options);
    if (std::optional<CommandReply> stop = parser.parse(arguments, 1, 1))
        return *stop;
    const bool on = options.isSet(QStringLiteral("on"));
    const bool off = options.isSet(QStringLiteral("off"));
    if (on && off)
        return parser.wrong(QStringLiteral("give --on or --off, not both"));
    QJsonObject request{{kCommand, QStringLiteral("watcher set")},
                        {kWatcher, parser.positional().first()}};
    if (std::optional<CommandReply> wrong = readGitSwitches(parser, request))
        return *wrong;
    if (!on && !off && !options.isSet(kConfig) && !options.isSet(kName) && !hasGitSwitches(request))
        return parser.wrong(QStringLiteral("nothing to change"));
    if (on || off)
        request.insert(kActivated, on);
    if (options.isSet(kConfig))
        request.insert(kConfig, options.value(kConfig));
    if (options.isSet(kName)) {
        if (options.value(kName).trimmed().isEmpty())
            return parser.wrong(QStringLiteral("the name is empty"));
        request.insert(kName, options.value(kName).trimmed());
    }
    return request;
}

CommandReply refused(const QString &command, const QString &why)
{
    return CommandReply::refused(QStringLiteral("sprucer %1: %2").arg(command, why));
}

// The configuration a watcher of `language` may use, or why not.
Result<ConfigurationItem> usableConfiguration(StoreAccess &stores, const QString &nameOrId,
                                              SupportedFileExtension language)
{
    Result<ConfigurationItem> found =
        Lookup::configuration(stores.configurations().configs(), nameOrId);
    if (found && found.value().language != language)
        return Error{QStringLiteral("CommandLine"), 2,
                     QStringLiteral("\"%1\" is a %2 configuration, not a %3 one")
                         .arg(found.value().name, Languages::of(found.value().language).displayName,
                              Languages::of(language).displayName)};
    return found;
}

bool nameTaken(StoreAccess &stores, const QString &name, const QUuid &except = {})
{
    for (const CodeWatcherModel &watcher : stores.watchers()) {
        if (watcher.name == name && watcher.id != except)
            return true;
    }
    return false;
}

CommandReply add(const QJsonObject &request, StoreAccess &stores)
{
    const QString command = QStringLiteral("watcher add");
    const Result<SupportedFileExtension> language =
        Lookup::language(request.value(kLanguage).toString());
    if (!language)
        return refused(command, language.error().description);
    const Result<ConfigurationItem> configuration =
        usableConfiguration(stores, request.value(kConfig).toString(), language.value());
    if (!configuration)
        return refused(command, configuration.error().description);
    const QString name = request.value(kName).toString();
    if (nameTaken(stores, name))
        return refused(command, QStringLiteral("a watcher is already named \"%1\"").arg(name));
    const QString directory = request.value(kDirectory).toString();
    CodeWatcherModel watcher = CodeWatcherModel::make(name, LocalPath::directoryUrl(directory),
                                                      language.value(), configuration.value().id);
    for (const CodeWatcherModel &other : stores.watchers()) {
        if (LocalPath::fromUrl(other.url) == directory && other.codeKind == watcher.codeKind)
            return refused(command, QStringLiteral("the %1 files of %2 are already watched by "
                                                   "\"%3\"")
                                        .arg(Languages::of(watcher.codeKind).displayName, directory,
                                             other.name));
    }
    watcher.isActivated = request.value(kActivated).toBool(true);
    if (const Result<void> added = stores.addWatcher(watcher); !added)
        return refused(command, added.error().description);
    if (hasGitSwitches(request))
        if (const Result<void> set = stores.setGitOptions(
                watcher.id, requestedGitOptions(request, stores.gitOptions(watcher.id)));
            !set)
            return refused(command, set.error().description);
    return CommandReply::done(idText(watcher.id) + u'\n');
}

CommandReply remove(const QJsonObject &request, StoreAccess &stores)
{
    const QString command = QStringLiteral("watcher remove");
    const Result<CodeWatcherModel> found =
        Lookup::watcher(stores.watchers(), request.value(kWatcher).toString());
    if (!found)
        return refused(command, found.error().description);
    if (const Result<void> removed = stores.removeWatcher(found.value().id); !removed)
        return refused(command, removed.error().description);
    return CommandReply::done();
}

CommandReply set(const QJsonObject &request, StoreAccess &stores)
{
    const QString command = QStringLiteral("watcher set");
    const Result<CodeWatcherModel> found =
        Lookup::watcher(stores.watchers(), request.value(kWatcher).toString());
    if (!found)
        return refused(command, found.error().description);
    CodeWatcherModel changed = found.value();
    if (request.contains(kActivated))
        changed.isActivated = request.value(kActivated).toBool();
    if (request.contains(kName)) {
        changed.name = request.value(kName).toString();
        if (nameTaken(stores, changed.name, changed.id))
            return refused(command,
                           QStringLiteral("a watcher is already named \"%1\"").arg(changed.name));
    }
    if (request.contains(kConfig)) {
        const Result<ConfigurationItem> configuration =
            usableConfiguration(stores, request.value(kConfig).toString(), changed.codeKind);
        if (!configuration)
            return refused(command, configuration.error().description);
        changed.configurationId = configuration.value().id;
    }
    if (const Result<void> done = stores.changeWatcher(changed); !done)
        return refused(command, done.error().description);
    if (hasGitSwitches(request))
        if (const Result<void> done = stores.setGitOptions(
                changed.id, requestedGitOptions(request, stores.gitOptions(changed.id)));
            !done)
            return refused(command, done.error().description);
    return CommandReply::done();
}

} // namespace

namespace WatcherCommand {

namespace {

std::variant<QJsonObject, CommandReply> readList(const QStringList &arguments, StoreAccess &stores)
{
    return list(arguments, stores);
}

const Verb kVerbs[] = {
    {QStringLiteral("list"), readList, nullptr},
    {QStringLiteral("add"),
     [](const QStringList &arguments, StoreAccess &) { return readAdd(arguments); }, add},
    {QStringLiteral("remove"),
     [](const QStringList &arguments, StoreAccess &) { return readRemove(arguments); }, remove},
    {QStringLiteral("set"),
     [](const QStringList &arguments, StoreAccess &) { return readSet(arguments); }, set},
};

} // namespace

std::span<const Verb> verbs()
{
    return kVerbs;
}

} // namespace WatcherCommand
