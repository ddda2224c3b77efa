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
    const ConfigurationLoad &command = ToolProfile::of(language).load;
    if (!command.refuses(run)) {
        result.message = command.acceptedNote;
        return result;
    }
    result.state = State::refused;
    describeComplaint(result, run, configPath);
    // What remains of our path is the file the user knows by its usual name.
    result.message.replace(configPath, command.fileName);
    if (command.clarify)
        result.message = command.clarify(Languages::of(language), result.message);
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
    const QString configPath = folder.filePath(profile.load.fileName);
    if (!folder.isValid() || !writeText(configPath, text))
        return notChecked(result, u"The configuration could not be written for the check."_s);
    const ToolRun run =
        ToolRun::execute(*tool, profile.load.arguments(Languages::of(language), configPath),
                         m_timeLimit, m_stop, folder.path());
    return readRun(result, run, language, configPath, m_timeLimit);
}

ConfigurationCheckResult ConfigurationProbe::toolMissing(SupportedFileExtension language)
{
    const QString name = ToolProfile::of(language).displayName;
    return {State::toolMissing, name, name + u" is not installed."_s, std::nullopt};
}
