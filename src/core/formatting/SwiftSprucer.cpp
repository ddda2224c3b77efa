// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/SwiftSprucer.h"

#include "core/formatting/ToolRun.h"
#include "core/support/SprucerLogger.h"

SwiftSprucer::SwiftSprucer(QString language, ToolResolver swiftLint, QUrl linterConfigPath,
                           std::chrono::milliseconds timeout)
    : ToolFixer(std::move(language), Tool{executableName, QStringLiteral("SwiftLint")},
                std::move(swiftLint), std::move(linterConfigPath), timeout)
{}

QStringList SwiftSprucer::arguments(const QString &configPath, const QString &filePath) const
{
    return {QStringLiteral("--config"), configPath, QStringLiteral("--fix"),
            QStringLiteral("--format"), filePath};
}

bool SwiftSprucer::judge(const ToolRun &run) const
{
    const QString standardError = QString::fromUtf8(run.standardError);
    if (standardError.isEmpty() || standardError.contains(QStringLiteral("Correcting")))
        return true;
    SprucerLogger::shared().log(QStringLiteral("SwiftLint error: ") + standardError);
    return false;
}
