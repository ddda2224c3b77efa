// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/services/FormatRun.h"

#include "core/services/CoreServices.h"
#include "core/support/PrivateCopyNames.h"
#include "core/watching/FixPipeline.h"

#include <QDir>
#include <QEventLoop>
#include <QHash>
#include <QSet>

#include <optional>

namespace {

// A file the pipeline did not take, told like one it skipped.
FixOutcome notTaken(const FormatRun::Group &group, const QString &path)
{
    FixOutcome outcome;
    outcome.watcherId = group.watcher.id;
    outcome.path = path;
    outcome.origin = FixOutcome::Origin::commandLine;
    outcome.result = FixOutcome::Result::skipped;
    if (group.fixer) {
        outcome.language = group.fixer->language();
        outcome.tool = group.fixer->tool();
    }
    const SupportedFileExtension kind = group.watcher.codeKind;
    if (!SupportedFileExtensions::matches(kind, path))
        outcome.reason =
            QStringLiteral("Not a source file of ") + SupportedFileExtensions::displayName(kind);
    else if (PrivateCopyNames::isInsideCopy(path))
        outcome.reason = QStringLiteral("A formatter's private copy");
    else
        outcome.reason = QStringLiteral("Being formatted already, or formatted a moment ago");
    return outcome;
}

RunSummary summaryOf(const QList<FixOutcome> &outcomes)
{
    RunSummary summary;
    for (const FixOutcome &outcome : outcomes) {
        ++summary.checked;
        summary.changed += outcome.changed() ? 1 : 0;
        if (outcome.result == FixOutcome::Result::failed && ++summary.failed == 1)
            summary.firstFailure = RunSummary::failureOf(outcome.path, outcome.reason);
    }
    return summary;
}

} // namespace

// The run's files: a place for each, in the order given, and those whose outcome is awaited.
struct FormatRun::Pending
{
    QList<std::optional<FixOutcome>> places;
    QHash<QString, qsizetype> awaited; // path → its place
    QSet<QString> named;
    qsizetype total = 0;
    qsizetype done = 0;
};

void FormatRun::handOver(const Group &group, Pending &pending)
{
    QStringList paths;
    for (const QString &given : group.paths) {
        const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(given));
        if (!pending.named.contains(path)) {
            pending.named.insert(path);
            paths.append(path);
        }
    }
    const QStringList taken =
        m_services.pipeline().process({group.watcher.id, group.watcher.codeKind, group.fixer},
                                      paths, FixOutcome::Origin::commandLine);
    const QSet<QString> takenSet(taken.cbegin(), taken.cend());
    for (const QString &path : std::as_const(paths)) {
        if (!takenSet.contains(path)) {
            pending.places.append(notTaken(group, path));
            continue;
        }
        pending.awaited.insert(path, pending.places.size());
        pending.places.append(std::nullopt);
    }
    pending.total += taken.size();
}

FormatRun::Report FormatRun::run(const QList<Group> &groups, const Progress &progress)
{
    Pending pending;
    QEventLoop loop;
    // Connected after the core's own listeners: a file is counted before it is reported here.
    const QMetaObject::Connection connection = QObject::connect(
        &m_services.pipeline(), &FixPipeline::fileFinished, &loop, [&](const FixOutcome &outcome) {
            // A file saved again while it was formatted is formatted once more, as a save.
            const auto found = pending.awaited.constFind(outcome.path);
            if (outcome.origin != FixOutcome::Origin::commandLine ||
                found == pending.awaited.cend())
                return;
            pending.places[*found] = outcome;
            pending.awaited.erase(found);
            if (progress)
                progress(++pending.done, pending.total);
            if (pending.awaited.isEmpty())
                loop.quit();
        });
    for (const Group &group : groups)
        handOver(group, pending);
    // Outcomes come through the event loop, so none can arrive before this.
    if (!pending.awaited.isEmpty())
        loop.exec();
    QObject::disconnect(connection);

    Report report;
    report.complete = pending.awaited.isEmpty();
    for (std::optional<FixOutcome> &slot : pending.places) {
        if (slot)
            report.outcomes.append(std::move(*slot));
    }
    report.summary = summaryOf(report.outcomes);
    report.countsStored = m_services.settings().flush();
    return report;
}
