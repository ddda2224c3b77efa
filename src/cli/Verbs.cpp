// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Verbs.h"

namespace {

const QString kCommand = QStringLiteral("command");

} // namespace

namespace Verbs {

std::variant<QJsonObject, CommandReply> read(const QString &group, std::span<const Verb> verbs,
                                             const QStringList &arguments, StoreAccess &stores)
{
    const QString given = arguments.value(0);
    QStringList names;
    for (const Verb &verb : verbs) {
        if (verb.name == given)
            return verb.read(arguments.mid(1), stores);
        names.append(verb.name);
    }
    const QString usage = QStringLiteral("Usage: sprucer %1 {%2} ... (each with --help)\n")
                              .arg(group, names.join(u'|'));
    if (given == QStringLiteral("--help") || given == QStringLiteral("-h"))
        return CommandReply::done(usage);
    return CommandReply{CommandReply::badInput, {}, usage};
}

CommandReply execute(const QString &group, std::span<const Verb> verbs, const QJsonObject &request,
                     StoreAccess &stores)
{
    const QString command = commandOf(request);
    for (const Verb &verb : verbs) {
        if (verb.execute && command == group + u' ' + verb.name)
            return verb.execute(request, stores);
    }
    return CommandReply::refused(QStringLiteral("sprucer: unknown request ") + command);
}

QString commandOf(const QJsonObject &request)
{
    return request.value(kCommand).toString();
}

QJsonObject request(const QString &command)
{
    return QJsonObject{{kCommand, command}};
}

} // namespace Verbs
