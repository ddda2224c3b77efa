// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ConfigCommand.h"

#include "cli/CommandParser.h"
#include "cli/Lookup.h"
#include "cli/StoreAccess.h"
#include "cli/Verbs.h"
#include "core/formatting/ConfigManagerFactory.h"
#include "core/model/Languages.h"
#include "core/support/StoredForms.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>
#include <QUuid>

#include <cstdio>

namespace {

const QString kCommand = QStringLiteral("command");
const QString kName = QStringLiteral("name");
const QString kLanguage = QStringLiteral("language");
const QString kText = QStringLiteral("text");
const QString kConfig = QStringLiteral("config");

// A configuration's file is a few kilobytes; a larger input is a mistake.
constexpr qint64 kLargestText = qint64{1024} * 1024;

QString idText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces);
}

CommandReply list(const QStringList &arguments, StoreAccess &stores)
{
    CommandParser parser(QStringLiteral("config list"), QStringLiteral("[--json]"),
                         QStringLiteral("Lists the stored formatter configurations."));
    parser.options().addOption({QStringLiteral("json"), QStringLiteral("One JSON array.")});
    if (std::optional<CommandReply> stop = parser.parse(arguments, 0, 0))
        return *stop;
    const QList<ConfigurationItem> all = stores.configurations().configs();
    if (parser.options().isSet(QStringLiteral("json"))) {
        QJsonArray array;
        for (const ConfigurationItem &item : all)
            array.append(
                QJsonObject{{QStringLiteral("id"), idText(item.id)},
                            {kName, item.name},
                            {kLanguage, Languages::of(item.language).code},
                            {QStringLiteral("file"), item.path.toLocalFile()},
                            {QStringLiteral("created"), item.createdAt.toString(Qt::ISODate)}});
        return CommandReply::done(QString::fromUtf8(QJsonDocument(array).toJson()));
    }
    QString out;
    for (const ConfigurationItem &item : all)
        out += QStringLiteral("%1  %2  %3\n")
                   .arg(idText(item.id), Languages::of(item.language).code.leftJustified(10),
                        item.name);
    return CommandReply::done(out);
}

std::optional<QByteArray> readText(const QString &file, bool fromStandardInput, QString *why)
{
    QFile input;
    const bool opened = fromStandardInput
                            ? input.open(stdin, QIODevice::ReadOnly)
                            : (input.setFileName(file), input.open(QIODevice::ReadOnly));
    if (!opened) {
        *why = QStringLiteral("cannot read %1: %2").arg(file, input.errorString());
        return std::nullopt;
    }
    QByteArray text = input.read(kLargestText + 1);
    if (text.size() > kLargestText) {
        *why = QStringLiteral("the configuration is larger than 1 MiB");
        return std::nullopt;
    }
    return text;
}

std::variant<QJsonObject, CommandReply> readAdd(const QStringList &arguments)
{
    CommandParser parser(QStringLiteral("config add"),
                         QStringLiteral("NAME --language L (--file PATH | --stdin)"),
                         QStringLiteral("Stores a formatter configuration under NAME."));
    QCommandLineParser &options = parser.options();
    options.addOption({QStringLiteral("language"), Lookup::languageCodes(), QStringLiteral("L")});
    options.addOption({QStringLiteral("file"), QStringLiteral("The configuration's text."),
                       QStringLiteral("PATH")});
    options.addOption(
        {QStringLiteral("stdin"), QStringLiteral("Read the text from standard input.")});
    if (std::optional<CommandReply> stop = parser.parse(arguments, 1, 1))
        return *stop;
    const QString name = parser.positional().first().trimmed();
    if (name.isEmpty())
        return parser.wrong(QStringLiteral("the name is empty"));
    if (!options.isSet(QStringLiteral("language")))
        return parser.wrong(QStringLiteral("--language is required"));
    const Result<SupportedFileExtension> language =
        Lookup::language(options.value(QStringLiteral("language")));
    if (!language)
        return parser.wrong(language.error().description);
    const bool fromFile = options.isSet(QStringLiteral("file"));
    if (fromFile == options.isSet(QStringLiteral("stdin")))
        return parser.wrong(QStringLiteral("give exactly one of --file and --stdin"));
    QString why;
    const std::optional<QByteArray> text =
        readText(options.value(QStringLiteral("file")), !fromFile, &why);
    if (!text)
        return parser.wrong(why);
    return QJsonObject{{kCommand, QStringLiteral("config add")},
                       {kName, name},
                       {kLanguage, Languages::of(language.value()).code},
                       {kText, QString::fromUtf8(*text)}};
}

std::variant<QJsonObject, CommandReply> readRemove(const QStringList &arguments)
{
    CommandParser parser(QStringLiteral("config remove"), QStringLiteral("NAME|ID"),
                         QStringLiteral("Removes a configuration no watcher uses, and its file."));
    if (std::optional<CommandReply> stop = parser.parse(arguments, 1, 1))
        return *stop;
    return QJsonObject{{kCommand, QStringLiteral("config remove")},
                       {kConfig, parser.positional().first()}};
}

CommandReply add(const QJsonObject &request, StoreAccess &stores)
{
    const QString name = request.value(kName).toString();
    const Result<SupportedFileExtension> spelled =
        Lookup::language(request.value(kLanguage).toString());
    if (!spelled || name.trimmed().isEmpty())
        return CommandReply::refused(QStringLiteral("sprucer config add: a malformed request"));
    const SupportedFileExtension language = spelled.value();
    for (const ConfigurationItem &item : stores.configurations().configs()) {
        if (item.language == language && item.name == name)
            return CommandReply::refused(
                QStringLiteral("sprucer config add: a %1 configuration is already named \"%2\"")
                    .arg(Languages::of(language).displayName, name));
    }
    const QUuid id = QUuid::createUuid();
    const Result<ConfigurationItem> created =
        stores.configurations().createConfig(id, request.value(kText).toString(), language, name);
    if (!created)
        return CommandReply::refused(QStringLiteral("sprucer config add: ") +
                                     created.error().description);
    return CommandReply::done(idText(id) + u'\n');
}

CommandReply remove(const QJsonObject &request, StoreAccess &stores)
{
    const Result<ConfigurationItem> found =
        Lookup::configuration(stores.configurations().configs(), request.value(kConfig).toString());
    if (!found)
        return CommandReply::refused(QStringLiteral("sprucer config remove: ") +
                                     found.error().description);
    QStringList users;
    for (const CodeWatcherModel &watcher : stores.watchers()) {
        if (watcher.configurationId == found.value().id)
            users.append(u'"' + watcher.name + u'"');
    }
    if (!users.isEmpty())
        return CommandReply::refused(
            QStringLiteral("sprucer config remove: \"%1\" is used by the watcher(s) %2; remove "
                           "them or give them another configuration first")
                .arg(found.value().name, users.join(QStringLiteral(", "))));
    if (const Result<void> removed = stores.configurations().removeConfig(found.value().id);
        !removed)
        return CommandReply::refused(QStringLiteral("sprucer config remove: ") +
                                     removed.error().description);
    return CommandReply::done();
}

} // namespace

namespace ConfigCommand {

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
};

} // namespace

std::span<const Verb> verbs()
{
    return kVerbs;
}

} // namespace ConfigCommand
