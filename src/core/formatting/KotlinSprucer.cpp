// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/KotlinSprucer.h"

#include "core/formatting/ToolRun.h"
#include "core/support/Console.h"

KotlinSprucer::KotlinSprucer(QString language, ToolResolver ktlint, QUrl linterConfigPath,
                             std::chrono::milliseconds timeout)
    : ToolFixer(std::move(language), Tool{executableName, executableName}, std::move(ktlint),
                std::move(linterConfigPath), timeout)
{}

QStringList KotlinSprucer::arguments(const QString &configPath, const QString &filePath) const
{
    return {QStringLiteral("--format"), QStringLiteral("--editorconfig=") + configPath, filePath};
}

bool KotlinSprucer::judge(const ToolRun &run) const
{
    const QString standardOutput = QString::fromUtf8(run.standardOutput);
    const QString standardError = QString::fromUtf8(run.standardError);
    if (standardError.isEmpty())
        return true;
    Console::writeLine(QStringLiteral("ktlint error: ") + standardError);
    Console::writeLine(standardOutput);
    return false;
}
