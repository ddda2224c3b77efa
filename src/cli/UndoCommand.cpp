// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/UndoCommand.h"

#include "cli/CommandParser.h"
#include "cli/RunningSprucer.h"
#include "cli/Verbs.h"
#include "core/history/FixJournal.h"
#include "core/services/CoreServices.h"
#include "core/services/FixUndo.h"


namespace {

const QString kCommand = QStringLiteral("undo");
const QString kId = QStringLiteral("id");

CommandReply replyOf(const FixUndo::Outcome &outcome)
{
    switch (outcome.status) {
    case FixUndo::Status::undone:
        return CommandReply::done(outcome.message + u'\n');
    case FixUndo::Status::changedSince:
        return {CommandReply::changesFound,
                {},
                QStringLiteral("sprucer undo: ") + outcome.message + u'\n'};
    case FixUndo::Status::unknown:
    case FixUndo::Status::failed:
        break;
    }
    return CommandReply::refused(QStringLiteral("sprucer undo: ") + outcome.message);
}

} // namespace

namespace UndoCommand {

CommandReply run(const QStringList &arguments)
{
    CommandParser parser(kCommand, QStringLiteral("ID"),
                         QStringLiteral("Puts the file back as it was before the fix ID (see "
                                        "sprucer history), if it still holds what the fix "
                                        "wrote.\nExit status: 0 put back, 1 changed since "
                                        "(nothing written), 2 no such fix."));
    if (std::optional<CommandReply> stop = parser.parse(arguments, 1, 1))
        return *stop;
    bool ok = false;
    const quint64 id = parser.positional().first().toULongLong(&ok);
    if (!ok || id == 0)
        return parser.wrong(
            QStringLiteral("\"%1\" is not the id of a fix").arg(parser.positional().first()));
    QJsonObject request = Verbs::request(kCommand);
    request.insert(kId, QString::number(id));
    return RunningSprucer::makeOrHandOver(
        request,
        [id] {
            FixJournal journal;
            return replyOf(FixUndo(journal).undo(id));
        },
        QStringLiteral("sprucer undo: the running Sprucer (process %1) did not answer; "
                       "nothing was undone"));
}

bool isRequest(const QJsonObject &request)
{
    return Verbs::commandOf(request) == kCommand;
}

CommandReply answer(const QJsonObject &request, CoreServices &core)
{
    return replyOf(core.undo().undo(request.value(kId).toString().toULongLong()));
}

} // namespace UndoCommand
