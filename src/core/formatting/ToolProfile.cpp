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

QStringList clangFormatLoadArguments(const Language &language, const QString &configPath)
{
    // The sample name picks the language's section of the style; --dump-config reads no input.
    return {QStringLiteral("--style=file:") + configPath, QStringLiteral("--dump-config"),
            QStringLiteral("--assume-filename=") + language.sampleFileName};
}

// As for a fix, any word on standard error is a failure.
bool clangFormatRefuses(const ToolRun &run)
{
    return run.crashed || run.exitCode != 0 || !run.standardError.trimmed().isEmpty();
}

// "Unsuitable" is what clang-format says when no section of the style is for the language.
QString clarifyClangFormat(const Language &language, const QString &message)
{
    if (!message.endsWith(QStringLiteral(": Unsuitable")))
        return message;
    return QStringLiteral("The configuration has no style for ") + language.displayName + u'.';
}

// Empty input, so ktlint loads the configuration and has nothing to lint.
QStringList ktlintLoadArguments(const Language &, const QString &configPath)
{
    return {QStringLiteral("--stdin"), QStringLiteral("--editorconfig=") + configPath};
}

QStringList swiftLintLoadArguments(const Language &, const QString &configPath)
{
    return {QStringLiteral("lint"), QStringLiteral("--quiet"), QStringLiteral("--use-stdin"),
            QStringLiteral("--config"), configPath};
}

// A linter lists its findings in the empty sample on standard output, with a failing status;
// they say nothing of the configuration. What it says on standard error fails every fix.
bool linterRefuses(const ToolRun &run)
{
    if (run.crashed || !run.standardError.trimmed().isEmpty())
        return true;
    return run.exitCode != 0 && run.standardOutput.trimmed().isEmpty();
}

} // namespace

const ToolProfile &ToolProfile::of(FormattingTool tool)
{
    static const ToolProfile clangFormat{
        .executable = QStringLiteral("clang-format"),
        .displayName = QStringLiteral("clang-format"),
        .arguments = clangFormatArguments,
        .judge = judgeClangFormat,
        .groupIsClean = saysNothing,
        .load = {QStringLiteral(".clang-format"),
                 clangFormatLoadArguments,
                 clangFormatRefuses,
                 clarifyClangFormat,
                 {}},
    };
    static const ToolProfile ktlint{
        .executable = QStringLiteral("ktlint"),
        .displayName = QStringLiteral("ktlint"),
        .arguments = ktlintArguments,
        .judge = judgeKtlint,
        .groupIsClean = saysNothing,
        .runsWithoutCoordination = true,
        .discoversProjectFiles = true,
        // A JVM reserves far more address space than it uses and would not start under the
        // limit.
        .memoryLimit = ToolLimits::Memory::data,
        // ktlint stops only on lines it cannot parse; it passes over unknown properties and
        // values.
        .load = {QStringLiteral(".editorconfig"), ktlintLoadArguments, linterRefuses, nullptr,
                 QStringLiteral("ktlint reads it, but passes over properties and values it "
                                "does not know.")},
    };
    // SwiftLint takes nested configurations from the file's folders, even given --config.
    static const ToolProfile swiftLint{
        .executable = QStringLiteral("swiftlint"),
        .displayName = QStringLiteral("SwiftLint"),
        .arguments = swiftLintArguments,
        .judge = judgeSwiftLint,
        .groupIsClean = swiftLintGroupIsClean,
        .discoversProjectFiles = true,
        .load =
            {QStringLiteral(".swiftlint.yml"), swiftLintLoadArguments, linterRefuses, nullptr, {}},
    };
    switch (tool) {
    case FormattingTool::swiftLint:
        return swiftLint;
    case FormattingTool::ktlint:
        return ktlint;
    case FormattingTool::clangFormat:
        break;
    }
    return clangFormat;
}

const ToolProfile &ToolProfile::of(SupportedFileExtension language)
{
    return of(Languages::of(language).tool);
}
