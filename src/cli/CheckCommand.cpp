// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CheckCommand.h"

#include "cli/ProgressLine.h"
#include "cli/TreeCommand.h"
#include "core/formatting/FormatCheck.h"
#include "core/services/CoreServices.h"
#include "core/support/UnifiedDiff.h"
#include "core/watching/FixPipeline.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

struct Printed
{
    QString out;
    QString err;
    bool changes = false;
    bool errors = false;
};

QJsonObject jsonOf(const FormatCheck::Record &record, const QString &watcher)
{
    return QJsonObject{
        {QStringLiteral("path"), TreeCommand::shown(record.path)},
        {QStringLiteral("watcher"), watcher.isEmpty() ? QJsonValue() : QJsonValue(watcher)},
        {QStringLiteral("changed"), record.wouldChange()},
        {QStringLiteral("error"),
         record.error.isEmpty() ? QJsonValue() : QJsonValue(record.error)}};
}

// A file that was not handed to its formatter for a plain reason (gone, not text) is no error.
bool failed(const FormatCheck::Record &record)
{
    return record.outcome == FixResult::Outcome::failed;
}

Printed print(const QList<FormatCheck::Record> &records, const QHash<QUuid, QString> &watchers,
              bool diff, bool json)
{
    Printed printed;
    for (const FormatCheck::Record &record : records) {
        printed.changes = printed.changes || record.wouldChange();
        printed.errors = printed.errors || failed(record);
        const QString path = TreeCommand::shown(record.path);
        if (json) {
            printed.out +=
                QString::fromUtf8(QJsonDocument(jsonOf(record, watchers.value(record.watcherId)))
                                      .toJson(QJsonDocument::Compact) +
                                  '\n');
            continue;
        }
        if (failed(record))
            printed.err += QStringLiteral("sprucer check: %1: %2\n").arg(path, record.error);
        else if (record.wouldChange() && diff)
            printed.out += QString::fromUtf8(UnifiedDiff::of(
                record.before.value_or(QByteArray()), record.after.value_or(QByteArray()), path));
        else if (record.wouldChange())
            printed.out += path + u'\n';
    }
    return printed;
}

} // namespace

namespace CheckCommand {

CommandReply run(const QStringList &arguments)
{
    TreeCommand command(QStringLiteral("check"),
                        QStringLiteral("[PATH... | --staged] [--config NAME|ID] [--diff] [--json]"),
                        QStringLiteral("Prints the files their formatter would change, changing "
                                       "none. Status: 0 none would, 1 some would, 2 errors."));
    command.offerStaged();
    QCommandLineParser &options = command.parser().options();
    options.addOption({QStringLiteral("diff"), QStringLiteral("A unified diff of each file.")});
    options.addOption({QStringLiteral("json"), QStringLiteral("One JSON object a line.")});
    if (std::optional<CommandReply> stop = command.prepare(arguments, true))
        return *stop;
    const bool diff = options.isSet(QStringLiteral("diff"));
    const bool json = options.isSet(QStringLiteral("json"));

    QList<FormatCheck::Group> groups;
    QHash<QUuid, QString> watchers;
    for (const TreeCommand::Job &job : command.jobs()) {
        groups.append(FormatCheck::Group{job.fixer, job.watcher.id, job.files});
        if (!job.watcher.id.isNull())
            watchers.insert(job.watcher.id, job.watcher.name);
    }
    ProgressLine progress(QStringLiteral("Checked"));
    FormatCheck::Options run;
    run.keepContents = diff;
    run.stop = &command.core().pipeline().toolStop(); // the one its fixers were made with
    run.progress = [&progress](qsizetype done, qsizetype total) {
        progress.show(done, total);
    };
    const QList<FormatCheck::Record> records = FormatCheck::run(groups, run);
    progress.finish();

    const Printed printed = print(records, watchers, diff, json);
    const int status = printed.errors    ? CommandReply::badInput
                       : printed.changes ? CommandReply::changesFound
                                         : CommandReply::success;
    return CommandReply{status, printed.out, printed.err};
}

} // namespace CheckCommand
