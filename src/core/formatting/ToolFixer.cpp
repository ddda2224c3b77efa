// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ToolFixer.h"

#include "core/formatting/ChangedLines.h"
#include "core/formatting/CopyJournal.h"
#include "core/formatting/FileCoordinator.h"
#include "core/formatting/FormattedFileCache.h"
#include "core/formatting/PrivateCopy.h"
#include "core/formatting/ResultPublisher.h"
#include "core/formatting/SavedFile.h"
#include "core/formatting/ToolRun.h"
#include "core/formatting/ToolStop.h"
#include "core/git/GitRules.h"
#include "core/stats/CodeFixStatistics.h"
#include "core/support/Console.h"
#include "core/support/LocalPath.h"
#include "core/support/Log.h"
#include "core/support/PosixFiles.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>

namespace {

using Outcome = FixResult::Outcome;

void log(const QString &line)
{
    Log::line(line);
}

// The tool's first line on standard error that is not its own progress: what the user is
// shown of a complaint.
QString firstComplaint(const QString &toolName, const ToolRun &run)
{
    const QStringList lines = QString::fromUtf8(run.standardError).split(u'\n', Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QString text = line.trimmed();
        if (!text.isEmpty() && !text.startsWith(QStringLiteral("Correcting")) &&
            !text.startsWith(QStringLiteral("Done correcting")))
            return toolName + QStringLiteral(": ") + text;
    }
    return toolName + QStringLiteral(" reported a failure");
}

// The one-file amount plus a tenth of it per further file, up to twice the one-file amount.
template <typename Duration>
Duration forGroup(Duration one, qsizetype files)
{
    return one + one * std::clamp<qsizetype>(files - 1, 0, 10) / 10;
}

bool reachedLimit(const ToolRun &run)
{
    return run.outcome == ToolRun::Outcome::outOfMemory ||
           run.outcome == ToolRun::Outcome::outOfProcessorTime;
}

} // namespace

ToolFixer::ToolFixer(SupportedFileExtension language, QUrl configURL, Environment environment)
    : m_language(language)
    , m_profile(ToolProfile::of(language))
    , m_configURL(std::move(configURL))
    , m_configPath(m_configURL.toLocalFile())
    , m_environment(std::move(environment))
{
    Q_ASSERT(m_environment.coordinator);
}

QString ToolFixer::language() const
{
    return SupportedFileExtensions::displayName(m_language);
}

QString ToolFixer::tool() const
{
    return m_profile.displayName;
}

FixResult ToolFixer::fix(const QString &filePath)
{
    // The fixer may be released while this call waits for the file's lock, so from here on
    // only the weak reference reaches it.
    const std::weak_ptr<const ToolFixer> weakSelf = weak_from_this();
    announce(filePath);
    sweepLeftovers();
    FixResult result;
    m_environment.coordinator->coordinate(filePath, [&](const std::optional<Error> &error) {
        const std::shared_ptr<const ToolFixer> self = weakSelf.lock();
        if (!self)
            return;
        Admission admitted = self->admit(filePath, error);
        if (const SavedFile *saved = std::get_if<SavedFile>(&admitted))
            result = self->fixVersion(*saved);
        else
            result = std::get<FixResult>(std::move(admitted));
    });
    return result;
}

QList<FixResult> ToolFixer::fixAll(const QStringList &filePaths)
{
    if (filePaths.size() < 2)
        return IFixer::fixAll(filePaths);
    const std::weak_ptr<const ToolFixer> weakSelf = weak_from_this();
    for (const QString &path : filePaths)
        announce(path);
    sweepLeftovers();
    QList<FixResult> results(filePaths.size());
    m_environment.coordinator->coordinateAll(
        filePaths, [&](const QList<std::optional<Error>> &errors) {
            if (const std::shared_ptr<const ToolFixer> self = weakSelf.lock())
                results = self->fixCoordinated(filePaths, errors);
        });
    return results;
}

std::chrono::milliseconds ToolFixer::groupTimeout(qsizetype files) const
{
    return forGroup(m_environment.timeout, files);
}

ToolLimits ToolFixer::runLimits(qsizetype files) const
{
    ToolLimits limits = m_environment.limits;
    limits.memoryKind = m_profile.memoryLimit;
    limits.processorTime = forGroup(limits.processorTime, files);
    return limits;
}

ToolFixer::Admission ToolFixer::admit(const QString &filePath,
                                      const std::optional<Error> &coordinationError) const
{
    if (coordinationError) {
        log(QStringLiteral("⚠️ File coordination error: ") + coordinationError->description);
        if (!m_profile.runsWithoutCoordination)
            return FixResult::of(Outcome::failed, std::nullopt, coordinationError->description);
    }
    // Only relative or empty paths are refused, and a tool handed one may take the whole
    // working directory instead.
    if (!QDir::isAbsolutePath(filePath))
        return FixResult::of(Outcome::skipped, std::nullopt,
                             QStringLiteral("not an absolute path"));
    Result<SavedFile> saved =
        m_environment.contentOf ? unsavedVersion(filePath) : SavedFile::read(filePath, sizeLimit);
    if (!saved) // gone or unreadable: the caller reports it when it reads the file
        return FixResult::of(Outcome::skipped, std::nullopt, saved.error().description);
    if (!saved.value().isWhole()) {
        log(QStringLiteral("Not formatted (larger than 16 MiB): ") + filePath);
        return FixResult::of(Outcome::skipped, std::nullopt, QStringLiteral("larger than 16 MiB"));
    }
    if (saved.value().looksBinary()) {
        log(QStringLiteral("Not formatted (not a text file): ") + filePath);
        return FixResult::of(Outcome::skipped, saved.value().bytes(),
                             QStringLiteral("not a text file"));
    }
    // Nothing of it changed since the last commit: no line of it is the user's to format.
    if (baseline(filePath) == saved.value().bytes())
        return FixResult::of(Outcome::unchanged, saved.value().bytes());
    return std::move(saved.value());
}

struct ToolFixer::Member
{
    qsizetype index = 0;
    SavedFile saved;
};

QList<FixResult> ToolFixer::fixCoordinated(const QStringList &filePaths,
                                           const QList<std::optional<Error>> &errors) const
{
    QList<FixResult> results(filePaths.size());
    // A file left as it is by a partial result is not formatted as a whole, and a version
    // that is not on disk is no file's.
    FormattedFileCache *const formatted =
        changedLinesOnly() || m_environment.contentOf ? nullptr : m_environment.formatted;
    const QByteArray stamp = formatted ? formatted->stamp(toolPath(), m_configPath) : QByteArray();
    std::vector<Member> run;
    Group group;
    qint64 groupBytes = 0;
    for (qsizetype i = 0; i < filePaths.size(); ++i) {
        Admission admitted = admit(filePaths[i], errors[i]);
        SavedFile *saved = std::get_if<SavedFile>(&admitted);
        if (!saved) {
            results[i] = std::get<FixResult>(std::move(admitted));
            continue;
        }
        if (formatted && formatted->isFormatted(*saved, stamp)) {
            results[i] = FixResult::of(Outcome::unchanged, saved->bytes());
            continue;
        }
        if (formatted)
            run.push_back({i, *saved});
        if (!group.empty() && groupBytes + saved->bytes().size() > groupByteBudget) {
            fixGroup(group, results);
            group.clear();
            groupBytes = 0;
        }
        groupBytes += saved->bytes().size();
        group.push_back({i, std::move(*saved)});
    }
    fixGroup(group, results);
    if (formatted)
        learn(*formatted, run, results, stamp);
    return results;
}

// A version the tool left as it was is formatted, and so is the result it put in place, as
// long as the file still holds it; of any other, the file's entry goes.
void ToolFixer::learn(FormattedFileCache &formatted, const std::vector<Member> &run,
                      const QList<FixResult> &results, const QByteArray &stamp) const
{
    for (const Member &member : run) {
        const FixResult &result = results[member.index];
        if (result.outcome == Outcome::unchanged) {
            formatted.rememberFormatted(member.saved, stamp);
            continue;
        }
        formatted.forget(member.saved.path());
        if (result.outcome != Outcome::changed || m_environment.checkOnly)
            continue;
        // Read back: a save since it was put in place is not what the tool wrote.
        const Result<SavedFile> now = SavedFile::read(member.saved.path(), sizeLimit);
        if (now && now.value().bytes() == result.content)
            formatted.rememberFormatted(now.value(), stamp);
    }
    formatted.saveIfDue();
}

void ToolFixer::fixGroup(const Group &group, QList<FixResult> &results) const
{
    if (group.size() > 1 && fixTogether(group, results))
        return;
    for (const Member &member : group)
        results[member.index] = fixVersion(member.saved);
}

bool ToolFixer::fixTogether(const Group &group, QList<FixResult> &results) const
{
    // A copy that cannot be made is reported by that file's own run.
    std::vector<std::unique_ptr<PrivateCopy>> copies;
    QStringList copyPaths;
    for (const Member &member : group) {
        Result<std::unique_ptr<PrivateCopy>> copy = copyFor(member.saved);
        if (!copy)
            return false;
        copyPaths.append(copy.value()->path());
        copies.push_back(std::move(copy.value()));
    }
    reach(FixStage::copied);
    const auto files = qsizetype(group.size());
    const ToolRun run =
        ToolRun::execute(toolPath(), m_profile.arguments(m_configPath, copyPaths),
                         groupTimeout(files), m_environment.stop, {}, runLimits(files));
    if (run.outcome != ToolRun::Outcome::finished || !m_profile.groupIsClean(run))
        return false;
    reach(FixStage::toolFinished);
    for (std::size_t i = 0; i < group.size(); ++i)
        results[group[i].index] = publish(group[i].saved, *copies[i]);
    return true;
}

FixResult ToolFixer::fixVersion(const SavedFile &saved) const
{
    // Quitting: no copy for a run that would be refused, as for each file of a stopped group.
    if (m_environment.stop && m_environment.stop->refusesNewRuns())
        return FixResult::of(Outcome::skipped, saved.bytes(), ToolStop::reason());
    const Result<std::unique_ptr<PrivateCopy>> copy = copyFor(saved);
    if (!copy) {
        log(copy.error().description);
        return FixResult::of(Outcome::failed, saved.bytes(), copy.error().description);
    }
    reach(FixStage::copied);
    const ToolRun run = runOnCopy(saved.path(), copy.value()->path());
    if (run.outcome == ToolRun::Outcome::stopped) // left as it is, for its next save
        return FixResult::of(Outcome::skipped, saved.bytes(), ToolStop::reason());
    if (reachedLimit(run)) { // the copy is dropped: the file stays as the user saved it
        const QString failure = limitFailure(run, saved.path());
        log(failure);
        return FixResult::of(Outcome::failed, saved.bytes(), failure);
    }
    if (run.outcome != ToolRun::Outcome::finished) {
        const QString failure = m_profile.displayName + QStringLiteral(": ") + run.errorDescription;
        log(QStringLiteral("Failed to run ") + failure);
        return FixResult::of(Outcome::failed, saved.bytes(), failure);
    }
    if (!m_profile.judge(run))
        return FixResult::of(Outcome::failed, saved.bytes(),
                             firstComplaint(m_profile.displayName, run));
    reach(FixStage::toolFinished);
    return publish(saved, *copy.value());
}

// Those of a process that died mid-run, found by whichever process runs a tool next.
void ToolFixer::sweepLeftovers() const
{
    if (m_environment.journal)
        m_environment.journal->sweepIfDue();
}

Result<std::unique_ptr<PrivateCopy>> ToolFixer::copyFor(const SavedFile &saved) const
{
    return PrivateCopy::make(saved, m_environment.journal,
                             m_profile.discoversProjectFiles ? PrivateCopy::Place::besideFile
                                                             : PrivateCopy::Place::outsideTree);
}

ToolRun ToolFixer::runOnCopy(const QString &filePath, const QString &copyPath) const
{
    ToolRun run = ToolRun::execute(toolPath(), m_profile.arguments(m_configPath, {copyPath}),
                                   m_environment.timeout, m_environment.stop, {}, runLimits(1));
    if (run.outcome != ToolRun::Outcome::finished)
        return run;
    // The tool's messages name the copy; the user knows the file.
    const QByteArray copyName = QFile::encodeName(copyPath);
    const QByteArray fileName = QFile::encodeName(filePath);
    run.standardError.replace(copyName, fileName);
    run.standardOutput.replace(copyName, fileName);
    return run;
}

QString ToolFixer::limitFailure(const ToolRun &run, const QString &filePath) const
{
    const ToolLimits limits = runLimits(1);
    const QString what =
        run.outcome == ToolRun::Outcome::outOfMemory
            ? QStringLiteral("needed more than ") + ToolLimits::sizeText(limits.memoryBytes)
            : QStringLiteral("used more than %1 s of processor time")
                  .arg(limits.processorTime.count());
    return m_profile.displayName + u' ' + what + QStringLiteral(" for ") + filePath;
}

FixResult ToolFixer::publish(const SavedFile &saved, const PrivateCopy &copy) const
{
    // Bounded like any read: a tool that runs away may leave a result of any size, or none.
    QByteArray result;
    if (!PosixFiles::readRegular(QFile::encodeName(copy.path()).constData(), 2 * sizeLimit,
                                 result)) {
        const QString failure =
            m_profile.displayName + (errno == EFBIG
                                         ? QStringLiteral(" left a result larger than 32 MiB")
                                         : QStringLiteral(" left no result"));
        log(failure + QStringLiteral(" for ") + saved.path());
        return FixResult::of(Outcome::failed, saved.bytes(), failure);
    }
    const std::optional<QByteArray> head = baseline(saved.path());
    const QByteArray whole = result;
    if (head)
        result = ChangedLines::keep(saved.bytes(), whole, *head);
    const bool unchanged = result == saved.bytes();
    // A formatter never empties a file that holds code; a full disk does.
    if (whole.trimmed().isEmpty() && !saved.bytes().trimmed().isEmpty()) {
        const QString failure = m_profile.displayName + QStringLiteral(" left an empty result");
        log(failure + QStringLiteral("; kept ") + saved.path());
        return FixResult::of(Outcome::failed, saved.bytes(), failure);
    }
    if (unchanged) {
        if (saved.isUnchanged() || m_environment.contentOf)
            return FixResult::of(Outcome::unchanged, result);
        log(QStringLiteral("Not replaced, saved again meanwhile: ") + saved.path());
        return FixResult::of(Outcome::superseded, saved.bytes());
    }
    if (m_environment.checkOnly) {
        FixResult wouldChange = FixResult::of(Outcome::changed, result);
        wouldChange.original = saved.bytes();
        return wouldChange;
    }
    return replace(saved, copy, result, result == whole);
}

FixResult ToolFixer::replace(const SavedFile &saved, const PrivateCopy &copy,
                             const QByteArray &result, bool copyHoldsResult) const
{
    // Only a result on the file's own file system takes its place in one step, with a check
    // for a save made meanwhile; from elsewhere it would be written into the file.
    std::unique_ptr<PrivateCopy> staged;
    if (!copy.isBesideFile() || !copyHoldsResult) {
        Result<std::unique_ptr<PrivateCopy>> made =
            PrivateCopy::makeBeside(saved, result, m_environment.journal);
        if (!made) {
            log(made.error().description);
            return FixResult::of(Outcome::failed, saved.bytes(), made.error().description);
        }
        staged = std::move(made.value());
    }
    const QString resultPath = staged ? staged->path() : copy.path();
    const ResultPublisher::Report report =
        ResultPublisher::publish(saved, resultPath, result, [this] { reach(FixStage::checked); });
    switch (report.outcome) {
    case ResultPublisher::Outcome::published: {
        FixResult fixed = FixResult::of(Outcome::changed, result);
        fixed.original = saved.bytes();
        return fixed;
    }
    case ResultPublisher::Outcome::superseded:
        log(QStringLiteral("Not replaced, saved again meanwhile: ") + saved.path());
        return FixResult::of(Outcome::superseded, saved.bytes());
    case ResultPublisher::Outcome::failed:
        break;
    }
    log(report.error);
    return FixResult::of(Outcome::failed, saved.bytes(), report.error);
}

Result<SavedFile> ToolFixer::unsavedVersion(const QString &filePath) const
{
    std::optional<QByteArray> content = m_environment.contentOf(filePath);
    if (!content)
        return Error{QStringLiteral("ToolFixer"), ENOENT, QStringLiteral("not staged")};
    if (content->size() > sizeLimit)
        return Error{QStringLiteral("ToolFixer"), EFBIG, QStringLiteral("larger than 16 MiB")};
    return SavedFile::unsaved(filePath, std::move(*content));
}

bool ToolFixer::changedLinesOnly() const
{
    return m_environment.git &&
           m_environment.git->options().of(m_environment.watcherId).changedLinesOnly;
}

std::optional<QByteArray> ToolFixer::baseline(const QString &filePath) const
{
    if (!m_environment.git)
        return std::nullopt;
    return m_environment.git->baseline(m_environment.watcherId, filePath);
}

void ToolFixer::reach(FixStage stage) const
{
    if (m_environment.probe)
        m_environment.probe(stage);
}

void ToolFixer::announce(const QString &filePath) const
{
    if (!m_environment.checkOnly)
        Console::writeLine(QStringLiteral("Run Fix ") + LocalPath::urlText(filePath));
}
