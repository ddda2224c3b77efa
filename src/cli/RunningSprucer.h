// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandReply.h"

#include <QJsonObject>

#include <functional>

// Where a command that changes what a running Sprucer keeps is carried out: here, under the
// instance lock, when no Sprucer runs; otherwise in the running one, so that its watchers learn
// of the change at once and no two processes write the same stores.
namespace RunningSprucer {

// `unanswered` is the line printed when the running Sprucer does not answer; its "%1" is that
// process's id.
CommandReply makeOrHandOver(const QJsonObject &request, const std::function<CommandReply()> &here,
                            const QString &unanswered);

} // namespace RunningSprucer
