// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandReply.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

QByteArray CommandReply::toJson() const
{
    return QJsonDocument(QJsonObject{{QStringLiteral("status"), status},
                                     {QStringLiteral("out"), out},
                                     {QStringLiteral("err"), err}})
        .toJson(QJsonDocument::Compact);
}

std::optional<CommandReply> CommandReply::fromJson(const QByteArray &json)
{
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    if (!object.value(QStringLiteral("status")).isDouble())
        return std::nullopt;
    return CommandReply{object.value(QStringLiteral("status")).toInt(),
                        object.value(QStringLiteral("out")).toString(),
                        object.value(QStringLiteral("err")).toString()};
}

int CommandReply::print() const
{
    QTextStream(stdout) << out << Qt::flush;
    QTextStream(stderr) << err << Qt::flush;
    return status;
}
