// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/IFixer.h"
#include "core/formatting/ToolProfile.h"
#include "core/formatting/ToolResolver.h"
#include "core/model/SupportedFileExtension.h"

#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>

class CodeFixStatistics;
class FileCoordinator;
struct Error;

// What every fixer of the program shares.
struct ToolFixerEnvironment
{
    ToolResolver resolver;
    CodeFixStatistics *statistics = nullptr; // counts each successful run
    FileCoordinator *coordinator = nullptr;  // keeps two fixes of one file apart
    std::chrono::milliseconds timeout{60000};
};

// The fixer of one language: announces the file, takes its lock, runs the language's tool on it
// (its row of ToolProfile), judges the run and counts a success.
// Fixers are made with std::make_shared: a fix waiting for its file's lock holds the fixer only
// weakly and does nothing once the fixer is gone. `fix` may run on several threads at once.
//
// The tool is looked up at every fix rather than once, so a tool installed while Sprucer runs
// is picked up without a restart, and the path is always the one the dependency check reports.
class ToolFixer : public IFixer, public std::enable_shared_from_this<ToolFixer>
{
public:
    using Environment = ToolFixerEnvironment;

    ToolFixer(SupportedFileExtension language, QUrl configURL, Environment environment);

    QString language() const override;
    void fix(const QString &filePath) override;

    // The executable a fix started now would launch.
    QString toolPath() const { return m_environment.resolver.launchPath(m_profile.executable); }
    QUrl configURL() const { return m_configURL; }

private:
    void fixCoordinated(const QString &filePath,
                        const std::optional<Error> &coordinationError) const;

    const SupportedFileExtension m_language;
    const ToolProfile &m_profile;
    const QUrl m_configURL;
    // Decoded once: a literal "%" in a folder name reaches the tool as it is on disk.
    const QString m_configPath;
    const Environment m_environment;
};
