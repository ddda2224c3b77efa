// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/IFixer.h"
#include "core/formatting/ToolProfile.h"
#include "core/formatting/ToolResolver.h"
#include "core/model/SupportedFileExtension.h"

#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class CodeFixStatistics;
class CopyJournal;
class FileCoordinator;
class SavedFile;
struct Error;
struct ToolRun;

// Moments of a fix at which a test may act as a user who saves meanwhile.
enum class FixStage
{
    copied,       // the version was read and copied; the tool is about to start
    toolFinished, // the tool has finished; the result is about to be checked
    checked,      // the file was found unchanged; it is about to be replaced
};

// What every fixer of the program shares.
struct ToolFixerEnvironment
{
    ToolResolver resolver;
    CodeFixStatistics *statistics = nullptr; // counts each successful run
    FileCoordinator *coordinator = nullptr;  // keeps two fixes of one file apart
    CopyJournal *journal = nullptr;          // notes where private copies are; may be null
    std::chrono::milliseconds timeout{60000};
    std::function<void(FixStage)> probe; // tests only
};

// The fixer of one language: announces the file, takes its lock, runs the language's tool on a
// private copy of it (its row of ToolProfile), judges the run, puts the result in place only if
// the user has not saved since it was read, and counts a success.
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
    FixResult fix(const QString &filePath) override;

    // Larger files are not handed to a tool: formatters take memory many times a file's size.
    static constexpr qint64 sizeLimit = 16 * 1024 * 1024;

    // The executable a fix started now would launch.
    QString toolPath() const { return m_environment.resolver.launchPath(m_profile.executable); }
    QUrl configURL() const { return m_configURL; }

private:
    FixResult fixCoordinated(const QString &filePath,
                             const std::optional<Error> &coordinationError) const;
    FixResult fixVersion(const SavedFile &saved) const;
    std::optional<ToolRun> runOnCopy(const QString &filePath, const QString &copyPath) const;
    FixResult publish(const SavedFile &saved, const QString &copyPath) const;
    void reach(FixStage stage) const;

    const SupportedFileExtension m_language;
    const ToolProfile &m_profile;
    const QUrl m_configURL;
    // Decoded once: a literal "%" in a folder name reaches the tool as it is on disk.
    const QString m_configPath;
    const Environment m_environment;
};
