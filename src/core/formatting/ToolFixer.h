// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/IFixer.h"
#include "core/formatting/ToolResolver.h"

#include <QStringList>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>

struct Error;
struct ToolRun;

// What the four fixers share: announce the file, take its lock, run the language's tool on it,
// judge the run and count a success. Subclasses give the arguments and the judgement.
// Fixers are made with std::make_shared: a fix waiting for its file's lock holds the fixer only
// weakly and does nothing once the fixer is gone. `fix` may run on several threads at once.
//
// The tool is looked up at every fix rather than once, so a tool installed while Sprucer runs
// is picked up without a restart, and the path is always the one the dependency check reports.
class ToolFixer : public IFixer, public std::enable_shared_from_this<ToolFixer>
{
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{60000};

    QString language() const override { return m_language; }
    void fix(const QUrl &file) override;

    // The executable a fix started now would launch.
    QString toolPath() const { return m_resolver.launchPath(m_tool.executable); }
    QUrl configURL() const { return m_configURL; }
    std::chrono::milliseconds timeout() const { return m_timeout; }

protected:
    struct Tool
    {
        QString executable;  // the name looked up, e.g. "swiftlint"
        QString displayName; // the name in log lines, e.g. "SwiftLint"
    };

    ToolFixer(QString language, Tool tool, ToolResolver resolver, QUrl configURL,
              std::chrono::milliseconds timeout);

    virtual QStringList arguments(const QString &configPath, const QString &filePath) const = 0;
    // Reports a failed run itself; true counts the run as a fix.
    virtual bool judge(const ToolRun &run) const = 0;
    // Whether the tool still runs when the file's lock was refused.
    virtual bool runsWithoutCoordination() const { return false; }

private:
    void fixCoordinated(const QUrl &file, const std::optional<Error> &coordinationError) const;

    const QString m_language;
    const Tool m_tool;
    const ToolResolver m_resolver;
    const QUrl m_configURL;
    const std::chrono::milliseconds m_timeout;
};
