// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ToolFixer.h"

#include "core/formatting/FileCoordinator.h"
#include "core/formatting/ToolRun.h"
#include "core/stats/CodeFixStatistics.h"
#include "core/support/Console.h"
#include "core/support/SprucerLogger.h"

ToolFixer::ToolFixer(QString language, Tool tool, ToolResolver resolver, QUrl configURL,
                     std::chrono::milliseconds timeout)
    : m_language(std::move(language))
    , m_tool(std::move(tool))
    , m_resolver(std::move(resolver))
    , m_configURL(std::move(configURL))
    , m_timeout(timeout)
{}

void ToolFixer::fix(const QUrl &file)
{
    // The fixer may be released while this call waits for the file's lock, so from here on
    // only the weak reference reaches it.
    const std::weak_ptr<const ToolFixer> weakSelf = weak_from_this();
    Console::writeLine(QStringLiteral("Run Fix ") + file.toString(QUrl::FullyEncoded));
    FileCoordinator::shared().coordinate(file, [weakSelf, file](const std::optional<Error> &error) {
        if (const std::shared_ptr<const ToolFixer> self = weakSelf.lock())
            self->fixCoordinated(file, error);
    });
}

void ToolFixer::fixCoordinated(const QUrl &file,
                               const std::optional<Error> &coordinationError) const
{
    if (coordinationError) {
        SprucerLogger::shared().log(QStringLiteral("⚠️ File coordination error: ") +
                                    coordinationError->description);
        if (!runsWithoutCoordination())
            return;
    }
    // Only refused URLs have no path, and a tool handed an empty path may take the whole
    // working directory instead.
    const QString filePath = file.toLocalFile();
    if (filePath.isEmpty())
        return;

    // toLocalFile() decodes percent-escapes exactly once, so a literal "%" in a folder name
    // reaches the tool as it is on disk.
    const ToolRun run =
        ToolRun::execute(toolPath(), arguments(m_configURL.toLocalFile(), filePath), m_timeout);
    if (run.outcome != ToolRun::Outcome::finished) {
        SprucerLogger::shared().log(QStringLiteral("Failed to run ") + m_tool.displayName +
                                    QStringLiteral(": ") + run.errorDescription);
        return;
    }
    if (judge(run))
        CodeFixStatistics::shared().recordFix(m_language);
}
