// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ToolProfile.h"

#include "core/formatting/ToolRun.h"
#include "core/support/Console.h"
#include "core/support/Log.h"

#include <algorithm>

namespace {

QStringList clangFormatArguments(const QString &configPath, const QStringList &filePaths)
{
    return QStringList{QStringLiteral("-i"), QStringLiteral("-style=file:") + configPath} +
           filePaths;
}

bool saysNothing(const ToolRun &run)
{
    return run.standardError.isEmpty();
}

// Any standard-error text fails the run, whatever the exit status: clang-format may rewrite the
// file and still complain. Bytes that are not UTF-8 are a complaint too.
bool judgeClangFormat(const ToolRun &run)
{
    const QString standardError = QString::fromUtf8(run.standardError);
    if (standardError.isEmpty())
        return true;
    Log::line(QStringLiteral("clang-format error: ") + standardError);
    return false;
}

QStringList ktlintArguments(const QString &configPath, const QStringList &filePaths)
{
    return QStringList{QStringLiteral("--format"), QStringLiteral("--editorconfig=") + configPath} +
           filePaths;
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

QStringList swiftLintArguments(const QString &configPath, const QStringList &filePaths)
{
    return QStringList{QStringLiteral("--config"), configPath, QStringLiteral("--fix"),
                       QStringLiteral("--format")} +
           filePaths;
}

// SwiftLint reports the files it corrects on standard error, so only other text fails the run.
bool judgeSwiftLint(const ToolRun &run)
{
    const QString standardError = QString::fromUtf8(run.standardError);
    if (standardError.isEmpty() || standardError.contains(QStringLiteral("Correcting")))
        return true;
    Log::line(QStringLiteral("SwiftLint error: ") + standardError);
    return false;
}

// One file's "Correcting" line would hide another file's error from the single-file rule, so a
// group is clean only when every line is SwiftLint's own progress.
bool swiftLintGroupIsClean(const ToolRun &run)
{
    const QStringList lines = QString::fromUtf8(run.standardError).split(u'\n', Qt::SkipEmptyParts);
    return std::all_of(lines.cbegin(), lines.cend(), [](const QString &line) {
        return line.startsWith(QStringLiteral("Correcting")) ||
               line.startsWith(QStringLiteral("Done correcting"));
    });
}

} // namespace

const ToolProfile &ToolProfile::of(SupportedFileExtension language)
{
    static const ToolProfile clangFormat{QStringLiteral("clang-format"),
                                         QStringLiteral("clang-format"),
                                         clangFormatArguments,
                                         judgeClangFormat,
                                         saysNothing,
                                         false,
                                         false};
    // A JVM reserves far more address space than it uses and would not start under the limit.
    static const ToolProfile ktlint{QStringLiteral("ktlint"),
                                    QStringLiteral("ktlint"),
                                    ktlintArguments,
                                    judgeKtlint,
                                    saysNothing,
                                    true,
                                    true,
                                    ToolLimits::Memory::data};
    // SwiftLint takes nested configurations from the file's folders, even given --config.
    static const ToolProfile swiftLint{QStringLiteral("swiftlint"),
                                       QStringLiteral("SwiftLint"),
                                       swiftLintArguments,
                                       judgeSwiftLint,
                                       swiftLintGroupIsClean,
                                       false,
                                       true};
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
