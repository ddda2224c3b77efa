// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/RunningSprucer.h"

#include "core/services/InstanceGuard.h"

#include <QJsonDocument>

namespace RunningSprucer {

CommandReply makeOrHandOver(const QJsonObject &request, const std::function<CommandReply()> &here,
                            const QString &unanswered)
{
    InstanceGuard guard(InstanceGuard::Mode::commandLine);
    if (guard.acquire())
        return here();
    const std::optional<InstanceGuard::RunningInstance> running = guard.runningInstance();
    if (!running || running->mode == InstanceGuard::Mode::commandLine)
        return CommandReply::refused(QStringLiteral("sprucer: ") + guard.refusalLine());
    const std::optional<QByteArray> answer =
        guard.sendCommand(QJsonDocument(request).toJson(QJsonDocument::Compact));
    if (const std::optional<CommandReply> reply =
            answer ? CommandReply::fromJson(*answer) : std::nullopt)
        return *reply;
    return CommandReply::refused(unanswered.arg(running->pid));
}

} // namespace RunningSprucer
