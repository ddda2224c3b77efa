// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ToolProfile.h"

#include "core/formatting/ToolRun.h"
#include "core/support/Console.h"
#include "core/support/SprucerLogger.h"

namespace {

QStringList clangFormatArguments(const QString &configPath, const QString &filePath)
{
    return {QStringLiteral("-i"), QStringLiteral("-style=file:") + configPath, filePath};
}

// Any standard-error text fails the run, whatever the exit status: clang-format may rewrite the
// file and still complain. Bytes that are not UTF-8 are a complaint too.
bool judgeClangFormat(const ToolRun &run)
{
    const QString standardError = QString::fromUtf8(run.standardError);
    if (standardError.isEmpty())
        return true;
    SprucerLogger::shared().log(QStringLiteral("clang-format error: ") + standardError);
    return false;
}

QStringList ktlintArguments(const QString &configPath, const QString &filePath)
{
    return {QStringLiteral("--format"), QStringLiteral("--editorconfig=") + configPath, filePath};
}

// ktlint's complaints go to the console only, never to the log.
bool judgeKtlint(const ToolRun &run)
{
    const QString standardError = QString::fromUtf8(run.standardError);
    if (standardError.isEmpty())
        return true;
    Console::writeLine(QStringLiteral("ktlint error: ") + standardError);
    Console::writeLine(QString::fromUtf8(run.standardOutput));
    return false;
}

QStringList swiftLintArguments(const QString &configPath, const QString &filePath)
{
    return {QStringLiteral("--config"), configPath, QStringLiteral("--fix"),
            QStringLiteral("--format"), filePath};
}

// SwiftLint reports the files it corrects on standard error, so only other text fails the run.
bool judgeSwiftLint(const ToolRun &run)
{
    const QString standardError = QString::fromUtf8(run.standardError);
    if (standardError.isEmpty() || standardError.contains(QStringLiteral("Correcting")))
        return true;
    SprucerLogger::shared().log(QStringLiteral("SwiftLint error: ") + standardError);
    return false;
}

} // namespace

const ToolProfile &ToolProfile::of(SupportedFileExtension language)
{
    static const ToolProfile clangFormat{QStringLiteral("clang-format"),
                                         QStringLiteral("clang-format"), clangFormatArguments,
                                         judgeClangFormat, false};
    static const ToolProfile ktlint{QStringLiteral("ktlint"), QStringLiteral("ktlint"),
                                    ktlintArguments, judgeKtlint, true};
    static const ToolProfile swiftLint{QStringLiteral("swiftlint"), QStringLiteral("SwiftLint"),
                                       swiftLintArguments, judgeSwiftLint, false};
    switch (language) {
    case SupportedFileExtension::swift:
        return swiftLint;
    case SupportedFileExtension::kotlin:
        return ktlint;
    case SupportedFileExtension::cpp:
    case SupportedFileExtension::objectivec:
        break;
    }
    return clangFormat;
}
