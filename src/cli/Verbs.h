// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandReply.h"

#include <QJsonObject>
#include <QStringList>

#include <span>
#include <variant>

class StoreAccess;

// The verbs of a group of store commands ("config add", "watcher set"…): how each is read from
// the arguments, and how its request is carried out.
struct Verb
{
    using Read = std::variant<QJsonObject, CommandReply> (*)(const QStringList &arguments,
                                                             StoreAccess &stores);
    using Execute = CommandReply (*)(const QJsonObject &request, StoreAccess &stores);

    QString name;
    Read read = nullptr;
    Execute execute = nullptr; // none for a verb that only reads, like "list"
};

namespace Verbs {

// `arguments` follow the group's name; without a verb it knows, its usage.
std::variant<QJsonObject, CommandReply> read(const QString &group, std::span<const Verb> verbs,
                                             const QStringList &arguments, StoreAccess &stores);

// The request's "command" is the group and the verb.
CommandReply execute(const QString &group, std::span<const Verb> verbs, const QJsonObject &request,
                     StoreAccess &stores);

// What a request names as its command: "config add".
QString commandOf(const QJsonObject &request);
QJsonObject request(const QString &command);

} // namespace Verbs
