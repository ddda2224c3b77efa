// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ToolFixer.h"

#include "core/formatting/FileCoordinator.h"
#include "core/formatting/PrivateCopy.h"
#include "core/formatting/ResultPublisher.h"
#include "core/formatting/SavedFile.h"
#include "core/formatting/ToolRun.h"
#include "core/stats/CodeFixStatistics.h"
#include "core/support/Console.h"
#include "core/support/LocalPath.h"
#include "core/support/SprucerLogger.h"

#include <QDir>
#include <QFile>

namespace {

void log(const QString &line)
{
    SprucerLogger::shared().log(line);
}

} // namespace

ToolFixer::ToolFixer(SupportedFileExtension language, QUrl configURL, Environment environment)
    : m_language(language)
    , m_profile(ToolProfile::of(language))
    , m_configURL(std::move(configURL))
    , m_configPath(m_configURL.toLocalFile())
    , m_environment(std::move(environment))
{
    Q_ASSERT(m_environment.statistics && m_environment.coordinator);
}

QString ToolFixer::language() const
{
    return SupportedFileExtensions::displayName(m_language);
}

FixResult ToolFixer::fix(const QString &filePath)
{
    // The fixer may be released while this call waits for the file's lock, so from here on
    // only the weak reference reaches it.
    const std::weak_ptr<const ToolFixer> weakSelf = weak_from_this();
    FileCoordinator &coordinator = *m_environment.coordinator;
    Console::writeLine(QStringLiteral("Run Fix ") + LocalPath::urlText(filePath));
    FixResult result;
    coordinator.coordinate(filePath, [&](const std::optional<Error> &error) {
        if (const std::shared_ptr<const ToolFixer> self = weakSelf.lock())
            result = self->fixCoordinated(filePath, error);
    });
    return result;
}

FixResult ToolFixer::fixCoordinated(const QString &filePath,
                                    const std::optional<Error> &coordinationError) const
{
    if (coordinationError) {
        log(QStringLiteral("⚠️ File coordination error: ") + coordinationError->description);
        if (!m_profile.runsWithoutCoordination)
            return {};
    }
    // Only relative or empty paths are refused, and a tool handed one may take the whole
    // working directory instead.
    if (!QDir::isAbsolutePath(filePath))
        return {};
    const Result<SavedFile> saved = SavedFile::read(filePath, sizeLimit);
    if (!saved)
        return {}; // gone or unreadable: the caller reports it when it reads the file
    if (!saved.value().isWhole()) {
        log(QStringLiteral("Not formatted (larger than 16 MiB): ") + filePath);
        return {};
    }
    if (saved.value().looksBinary()) {
        log(QStringLiteral("Not formatted (not a text file): ") + filePath);
        return {saved.value().bytes()};
    }
    return fixVersion(saved.value());
}

FixResult ToolFixer::fixVersion(const SavedFile &saved) const
{
    const Result<std::unique_ptr<PrivateCopy>> copy =
        PrivateCopy::make(saved, m_environment.journal);
    if (!copy) {
        log(copy.error().description);
        return {saved.bytes()};
    }
    reach(FixStage::copied);
    const std::optional<ToolRun> run = runOnCopy(saved.path(), copy.value()->path());
    if (!run || !m_profile.judge(*run))
        return {saved.bytes()};
    reach(FixStage::toolFinished);
    return publish(saved, copy.value()->path());
}

std::optional<ToolRun> ToolFixer::runOnCopy(const QString &filePath, const QString &copyPath) const
{
    ToolRun run = ToolRun::execute(toolPath(), m_profile.arguments(m_configPath, copyPath),
                                   m_environment.timeout);
    if (run.outcome != ToolRun::Outcome::finished) {
        log(QStringLiteral("Failed to run ") + m_profile.displayName + QStringLiteral(": ") +
            run.errorDescription);
        return std::nullopt;
    }
    // The tool's messages name the copy; the user knows the file.
    const QByteArray copyName = QFile::encodeName(copyPath);
    const QByteArray fileName = QFile::encodeName(filePath);
    run.standardError.replace(copyName, fileName);
    run.standardOutput.replace(copyName, fileName);
    return run;
}

FixResult ToolFixer::publish(const SavedFile &saved, const QString &copyPath) const
{
    QFile copy(copyPath);
    if (!copy.open(QIODevice::ReadOnly)) {
        log(m_profile.displayName + QStringLiteral(" left no result for ") + saved.path());
        return {saved.bytes()};
    }
    const QByteArray result = copy.readAll();
    copy.close();
    const bool unchanged = result == saved.bytes();
    // A formatter never empties a file that holds code; a full disk does.
    if (result.trimmed().isEmpty() && !saved.bytes().trimmed().isEmpty()) {
        log(m_profile.displayName + QStringLiteral(" left an empty result; kept ") + saved.path());
        return {saved.bytes()};
    }
    ResultPublisher::Report report{ResultPublisher::Outcome::published, {}};
    if (unchanged && !saved.isUnchanged())
        report.outcome = ResultPublisher::Outcome::superseded;
    else if (!unchanged)
        report =
            ResultPublisher::publish(saved, copyPath, result, [this] { reach(FixStage::checked); });
    switch (report.outcome) {
    case ResultPublisher::Outcome::published:
        m_environment.statistics->recordFix(language());
        return {result};
    case ResultPublisher::Outcome::superseded:
        log(QStringLiteral("Not replaced, saved again meanwhile: ") + saved.path());
        return {saved.bytes(), true};
    case ResultPublisher::Outcome::failed:
        break;
    }
    log(report.error);
    return {saved.bytes()};
}

void ToolFixer::reach(FixStage stage) const
{
    if (m_environment.probe)
        m_environment.probe(stage);
}
