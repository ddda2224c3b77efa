// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/FormatCommand.h"

#include "cli/ProgressLine.h"
#include "cli/TreeCommand.h"
#include "core/services/FormatRun.h"

namespace FormatCommand {

CommandReply run(const QStringList &arguments)
{
    TreeCommand command(QStringLiteral("format"), QStringLiteral("[PATH...] [--config NAME|ID]"),
                        QStringLiteral("Formats the files in place, as a save does, and counts "
                                       "the fixes."));
    if (std::optional<CommandReply> stop = command.prepare(arguments, false))
        return *stop;
    QList<FormatRun::Group> groups;
    for (const TreeCommand::Job &job : command.jobs())
        groups.append(FormatRun::Group{job.watcher, job.fixer, job.files});
    ProgressLine progress(QStringLiteral("Formatted"));
    const FormatRun::Report report =
        FormatRun(command.core()).run(groups, [&progress](qsizetype done, qsizetype total) {
            progress.show(done, total);
        });
    progress.finish();

    QString err;
    for (const FixOutcome &outcome : report.outcomes) {
        if (outcome.result == FixOutcome::Result::failed)
            err += QStringLiteral("sprucer format: %1: %2\n")
                       .arg(TreeCommand::shown(outcome.path), outcome.reason);
    }
    if (!report.complete)
        err += QStringLiteral("sprucer format: stopped before every file was formatted\n");
    if (!report.countsStored)
        err += QStringLiteral("sprucer format: the fixes could not be counted in the settings "
                              "file; they are kept for the next start\n");
    const bool ok = report.summary.failed == 0 && report.complete && report.countsStored;
    return CommandReply{ok ? CommandReply::success : CommandReply::badInput,
                        report.summary.text() + u'\n', err};
}

} // namespace FormatCommand
