// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ConfigurationProbe.h"

#include "core/formatting/ToolProfile.h"
#include "core/formatting/ToolRun.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using State = ConfigurationCheckResult::State;

namespace {

// How one tool is made to load a configuration and nothing else.
struct CheckCommand
{
    QString fileName; // the name the tool's own search would find, shown in its messages
    QStringList (*arguments)(SupportedFileExtension language, const QString &configPath) = nullptr;
    bool (*refuses)(const ToolRun &run) = nullptr;
    // Rewords a complaint that means nothing to a user; may be null.
    QString (*clarify)(SupportedFileExtension language, const QString &message) = nullptr;
    // What an acceptance does not promise, when the tool checks less than it reads.
    QString acceptedNote;
};

QStringList clangFormatArguments(SupportedFileExtension language, const QString &configPath)
{
    // The sample name picks the language's section of the style; --dump-config reads no input.
    const QString sample =
        language == SupportedFileExtension::objectivec ? u"sample.m"_s : u"sample.cpp"_s;
    return {u"--style=file:"_s + configPath, u"--dump-config"_s, u"--assume-filename="_s + sample};
}

// As for a fix, any word on standard error is a failure.
bool clangFormatRefuses(const ToolRun &run)
{
    return run.crashed || run.exitCode != 0 || !run.standardError.trimmed().isEmpty();
}

// "Unsuitable" is what clang-format says when no section of the style is for the language.
QString clarifyClangFormat(SupportedFileExtension language, const QString &message)
{
    if (!message.endsWith(u": Unsuitable"_s))
        return message;
    return u"The configuration has no style for "_s +
           SupportedFileExtensions::displayName(language) + u'.';
}

// Empty input, so ktlint loads the configuration and has nothing to lint.
QStringList ktlintArguments(SupportedFileExtension, const QString &configPath)
{
    return {u"--stdin"_s, u"--editorconfig="_s + configPath};
}

QStringList swiftLintArguments(SupportedFileExtension, const QString &configPath)
{
    return {u"lint"_s, u"--quiet"_s, u"--use-stdin"_s, u"--config"_s, configPath};
}

// A linter lists its findings in the empty sample on standard output, with a failing status;
// they say nothing of the configuration. What it says on standard error fails every fix.
bool linterRefuses(const ToolRun &run)
{
    if (run.crashed || !run.standardError.trimmed().isEmpty())
        return true;
    return run.exitCode != 0 && run.standardOutput.trimmed().isEmpty();
}

const CheckCommand &commandFor(SupportedFileExtension language)
{
    static const CheckCommand clangFormat{
        u".clang-format"_s, clangFormatArguments, clangFormatRefuses, clarifyClangFormat, {}};
    // ktlint stops only on lines it cannot parse; it passes over unknown properties and values.
    static const CheckCommand ktlint{
        u".editorconfig"_s, ktlintArguments, linterRefuses, nullptr,
        u"ktlint reads it, but passes over properties and values it does not know."_s};
    static const CheckCommand swiftLint{
        u".swiftlint.yml"_s, swiftLintArguments, linterRefuses, nullptr, {}};
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

ConfigurationCheckResult notChecked(ConfigurationCheckResult result, const QString &why)
{
    result.state = State::notChecked;
    result.message = why;
    return result;
}

bool writeText(const QString &path, const QString &text)
{
    QFile file(path);
    const QByteArray bytes = text.toUtf8();
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size() && file.flush();
}

QStringList saidLines(const ToolRun &run)
{
    QString said = QString::fromUtf8(run.standardError);
    if (said.trimmed().isEmpty())
        said = QString::fromUtf8(run.standardOutput);
    QStringList lines;
    for (const QString &line : said.split(u'\n'))
        if (!line.trimmed().isEmpty())
            lines.append(line.trimmed());
    return lines;
}

// A line that places its complaint in the file, "<path>:<line>:<column>: error: <what>".
bool readLocated(const QString &said, const QString &configPath, ConfigurationCheckResult &result)
{
    const QRegularExpression located(QRegularExpression::escape(configPath) +
                                     uR"(:(\d+)(?::\d+)?:\s*(?:error:\s*)?(.*))"_s);
    const QRegularExpressionMatch match = located.match(said);
    const int line = match.hasMatch() ? match.captured(1).toInt() : 0;
    if (line < 1)
        return false;
    result.line = line;
    result.message = QString(u"Line %1: "_s.arg(line) + match.captured(2)).trimmed();
    return true;
}

void describeComplaint(ConfigurationCheckResult &result, const ToolRun &run,
                       const QString &configPath)
{
    const QStringList lines = saidLines(run);
    for (const QString &line : lines)
        if (readLocated(line, configPath, result))
            return;
    if (!lines.isEmpty())
        result.message = lines.first();
    else if (run.crashed)
        result.message = result.toolName + u" crashed."_s;
    else
        result.message = result.toolName + u" failed with status %1."_s.arg(run.exitCode);
}

ConfigurationCheckResult judge(ConfigurationCheckResult result, const ToolRun &run,
                               SupportedFileExtension language, const QString &configPath)
{
    const CheckCommand &command = commandFor(language);
    if (!command.refuses(run)) {
        result.message = command.acceptedNote;
        return result;
    }
    result.state = State::refused;
    describeComplaint(result, run, configPath);
    // What remains of our path is the file the user knows by its usual name.
    result.message.replace(configPath, command.fileName);
    if (command.clarify)
        result.message = command.clarify(language, result.message);
    return result;
}

QString seconds(std::chrono::milliseconds duration)
{
    return QString::number(double(duration.count()) / 1000.0);
}

ConfigurationCheckResult readRun(const ConfigurationCheckResult &result, const ToolRun &run,
                                 SupportedFileExtension language, const QString &configPath,
                                 std::chrono::milliseconds timeLimit)
{
    switch (run.outcome) {
    case ToolRun::Outcome::finished:
        return judge(result, run, language, configPath);
    case ToolRun::Outcome::timedOut:
        return notChecked(result, result.toolName +
                                      u" did not answer within %1 s."_s.arg(seconds(timeLimit)));
    case ToolRun::Outcome::failedToStart:
        return notChecked(result,
                          result.toolName + u" could not be started: "_s + run.errorDescription);
    case ToolRun::Outcome::stopped:
    case ToolRun::Outcome::outOfMemory: // the check sets no limits
    case ToolRun::Outcome::outOfProcessorTime:
        break;
    }
    return notChecked(result, run.errorDescription);
}

} // namespace

ConfigurationProbe::ConfigurationProbe(ToolResolver resolver, std::chrono::milliseconds timeLimit,
                                       ToolStop *stop)
    : m_resolver(std::move(resolver))
    , m_timeLimit(timeLimit)
    , m_stop(stop)
{}

ConfigurationCheckResult ConfigurationProbe::check(SupportedFileExtension language,
                                                   const QString &text) const
{
    const ToolProfile &profile = ToolProfile::of(language);
    const std::optional<QString> tool = m_resolver.resolve(profile.executable);
    if (!tool)
        return toolMissing(language);
    ConfigurationCheckResult result;
    result.toolName = profile.displayName;
    // Private to the user, and gone with everything in it when the check ends.
    const QTemporaryDir folder(QDir::tempPath() + u"/sprucer-check-XXXXXX"_s);
    const QString configPath = folder.filePath(commandFor(language).fileName);
    if (!folder.isValid() || !writeText(configPath, text))
        return notChecked(result, u"The configuration could not be written for the check."_s);
    const ToolRun run =
        ToolRun::execute(*tool, commandFor(language).arguments(language, configPath), m_timeLimit,
                         m_stop, folder.path());
    return readRun(result, run, language, configPath, m_timeLimit);
}

ConfigurationCheckResult ConfigurationProbe::toolMissing(SupportedFileExtension language)
{
    const QString name = ToolProfile::of(language).displayName;
    return {State::toolMissing, name, name + u" is not installed."_s, std::nullopt};
}
