// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/StoreCommand.h"

#include "cli/ConfigCommand.h"
#include "cli/RunningSprucer.h"
#include "cli/StoreAccess.h"
#include "cli/UndoCommand.h"
#include "cli/Verbs.h"
#include "cli/WatcherCommand.h"
#include "core/support/UserDefaults.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString kConfig = QStringLiteral("config");
const QString kWatcher = QStringLiteral("watcher");

std::span<const Verb> verbsOf(const QString &group)
{
    return group == kConfig ? ConfigCommand::verbs() : WatcherCommand::verbs();
}

CommandReply execute(const QJsonObject &request, StoreAccess &stores)
{
    const QString group = Verbs::commandOf(request).section(u' ', 0, 0);
    return Verbs::execute(group, verbsOf(group), request, stores);
}

CommandReply changeHere(const QJsonObject &request)
{
    UserDefaults settings;
    CommandReply reply = execute(request, *StoreAccess::stored(settings));
    // On disk before the lock goes, so the next Sprucer reads it.
    if (!settings.flush())
        return CommandReply::refused(QStringLiteral("sprucer: the change could not be stored: ") +
                                     settings.fileName() + QStringLiteral(" cannot be written"));
    return reply;
}

} // namespace

namespace StoreCommand {

CommandReply run(const QStringList &arguments)
{
    std::variant<QJsonObject, CommandReply> read;
    {
        UserDefaults settings;
        const std::unique_ptr<StoreAccess> stores = StoreAccess::stored(settings);
        const QString group = arguments.value(0);
        read = Verbs::read(group, verbsOf(group), arguments.mid(1), *stores);
    }
    if (const auto *reply = std::get_if<CommandReply>(&read))
        return *reply;
    const QJsonObject &request = std::get<QJsonObject>(read);
    return RunningSprucer::makeOrHandOver(
        request, [&request] { return changeHere(request); },
        QStringLiteral("sprucer: the running Sprucer (process %1) did not take the change; "
                       "nothing was changed. Try again, or quit it first."));
}

QByteArray answer(const QByteArray &request, CoreServices &core)
{
    const QJsonObject object = QJsonDocument::fromJson(request).object();
    if (!object.value(QStringLiteral("command")).isString())
        return CommandReply::refused(QStringLiteral("sprucer: a malformed request")).toJson();
    if (UndoCommand::isRequest(object))
        return UndoCommand::answer(object, core).toJson();
    return execute(object, *StoreAccess::running(core)).toJson();
}

} // namespace StoreCommand
