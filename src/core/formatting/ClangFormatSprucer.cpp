// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ClangFormatSprucer.h"

#include "core/formatting/ToolRun.h"
#include "core/support/SprucerLogger.h"

ClangFormatSprucer::ClangFormatSprucer(QString language, ToolResolver resolver,
                                       QUrl clangConfigPath, std::chrono::milliseconds timeout)
    : ToolFixer(std::move(language), Tool{executableName, executableName}, std::move(resolver),
                std::move(clangConfigPath), timeout)
{}

QStringList ClangFormatSprucer::arguments(const QString &configPath, const QString &filePath) const
{
    return {QStringLiteral("-i"), QStringLiteral("-style=file:") + configPath, filePath};
}

bool ClangFormatSprucer::judge(const ToolRun &run) const
{
    // Decoded leniently: bytes that are not UTF-8 are still a complaint, not a success.
    const QString standardError = QString::fromUtf8(run.standardError);
    if (standardError.isEmpty())
        return true;
    SprucerLogger::shared().log(QStringLiteral("clang-format error: ") + standardError);
    return false;
}
