// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ToolFixer.h"

#include "core/formatting/FileCoordinator.h"
#include "core/formatting/ToolRun.h"
#include "core/stats/CodeFixStatistics.h"
#include "core/support/Console.h"
#include "core/support/LocalPath.h"
#include "core/support/SprucerLogger.h"

#include <QDir>

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

void ToolFixer::fix(const QString &filePath)
{
    // The fixer may be released while this call waits for the file's lock, so from here on
    // only the weak reference reaches it.
    const std::weak_ptr<const ToolFixer> weakSelf = weak_from_this();
    FileCoordinator &coordinator = *m_environment.coordinator;
    Console::writeLine(QStringLiteral("Run Fix ") + LocalPath::urlText(filePath));
    coordinator.coordinate(filePath, [weakSelf, filePath](const std::optional<Error> &error) {
        if (const std::shared_ptr<const ToolFixer> self = weakSelf.lock())
            self->fixCoordinated(filePath, error);
    });
}

void ToolFixer::fixCoordinated(const QString &filePath,
                               const std::optional<Error> &coordinationError) const
{
    if (coordinationError) {
        SprucerLogger::shared().log(QStringLiteral("⚠️ File coordination error: ") +
                                    coordinationError->description);
        if (!m_profile.runsWithoutCoordination)
            return;
    }
    // Only relative or empty paths are refused, and a tool handed one may take the whole
    // working directory instead.
    if (!QDir::isAbsolutePath(filePath))
        return;

    const ToolRun run = ToolRun::execute(toolPath(), m_profile.arguments(m_configPath, filePath),
                                         m_environment.timeout);
    if (run.outcome != ToolRun::Outcome::finished) {
        SprucerLogger::shared().log(QStringLiteral("Failed to run ") + m_profile.displayName +
                                    QStringLiteral(": ") + run.errorDescription);
        return;
    }
    if (m_profile.judge(run))
        m_environment.statistics->recordFix(language());
}
