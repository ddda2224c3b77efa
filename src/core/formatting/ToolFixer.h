// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/IFixer.h"
#include "core/formatting/SavedFile.h"
#include "core/formatting/ToolLimits.h"
#include "core/formatting/ToolProfile.h"
#include "core/formatting/ToolResolver.h"
#include "core/model/SupportedFileExtension.h"

#include <QUrl>
#include <QUuid>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

class CopyJournal;
class GitRules;
class FormattedFileCache;
class FileCoordinator;
class PrivateCopy;
class ToolStop;
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
    FileCoordinator *coordinator = nullptr; // keeps two fixes of one file apart
    // Notes where private copies are and keeps those outside the trees; may be null (every copy
    // beside its file, and none swept).
    CopyJournal *journal = nullptr;
    ToolStop *stop = nullptr; // quitting: no new run, and runs under way cut short; may be null
    std::chrono::milliseconds timeout{60000};
    // Of one run of one file; the tool's profile says which memory is bounded.
    ToolLimits limits = ToolLimits::standard(timeout);
    // A check of what the tool would do: every run is judged as in a fix, but no result is put
    // in place and no "Run Fix" line is written. A file whose result differs comes back
    // `changed`, its `content` the tool's result (not what the file holds) and its `original`
    // the bytes read, which the file still holds unless saved meanwhile. Every other outcome
    // means what it means in a fix.
    bool checkOnly = false;
    // The files the tool found formatted: files handed in together (a run over a tree, a
    // command line's) that it knows are not run again. A save always runs. May be null.
    FormattedFileCache *formatted = nullptr;
    // The watcher's git options: with "only lines I changed", a result keeps only the tool's
    // changes that touch lines changed since HEAD. May be null (whole files).
    GitRules *git = nullptr;
    QUuid watcherId;
    // With `checkOnly`: the version of a file to check instead of the one on disk (what git's
    // index holds); a file it gives nothing for is skipped.
    std::function<std::optional<QByteArray>(const QString &path)> contentOf;
    std::function<void(FixStage)> probe; // tests only
};

// The fixer of one language: announces the file, takes its lock, runs the language's tool on a
// private copy of it (its row of ToolProfile), judges the run, and puts the result in place only if
// the user has not saved since it was read (or, in a check, leaves it where it is).
//
// Files handed in together share runs of the tool, since starting it costs far more than
// formatting a file. A run of several files that says anything at all proves nothing about any
// one of them, so its files are then run again one at a time and judged as if alone.
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
    QString tool() const override;
    FixResult fix(const QString &filePath) override;
    QList<FixResult> fixAll(const QStringList &filePaths) override;

    // Larger files are not handed to a tool: formatters take memory many times a file's size.
    static constexpr qint64 sizeLimit = qint64{16} * 1024 * 1024;
    // Files of one run of the tool hold at most this much together (a larger file runs alone),
    // which bounds the memory held while the tool runs.
    static constexpr qint64 groupByteBudget = qint64{1024} * 1024;
    // A run of `files` files may take the one-file limit plus a tenth of it per further file, up
    // to twice the one-file limit: scaled to the group's work, yet a hang holds the group's files
    // at most that long before each is tried alone.
    std::chrono::milliseconds groupTimeout(qsizetype files) const;
    // The limits of a run of `files` files: its processor time grows as its time does.
    ToolLimits runLimits(qsizetype files) const;

    // The executable a fix started now would launch.
    QString toolPath() const { return m_environment.resolver.launchPath(m_profile.executable); }
    QUrl configURL() const { return m_configURL; }

private:
    struct Member; // one file of a group, with its place among the files handed in
    using Group = std::vector<Member>;
    // Stops with a result before the tool runs, or hands on the version to format.
    using Admission = std::variant<FixResult, SavedFile>;

    Admission admit(const QString &filePath, const std::optional<Error> &coordinationError) const;
    QList<FixResult> fixCoordinated(const QStringList &filePaths,
                                    const QList<std::optional<Error>> &errors) const;
    void fixGroup(const Group &group, QList<FixResult> &results) const;
    void learn(FormattedFileCache &formatted, const std::vector<Member> &run,
               const QList<FixResult> &results, const QByteArray &stamp) const;
    bool fixTogether(const Group &group, QList<FixResult> &results) const;
    FixResult fixVersion(const SavedFile &saved) const;
    void sweepLeftovers() const;
    Result<std::unique_ptr<PrivateCopy>> copyFor(const SavedFile &saved) const;
    ToolRun runOnCopy(const QString &filePath, const QString &copyPath) const;
    QString limitFailure(const ToolRun &run, const QString &filePath) const;
    FixResult publish(const SavedFile &saved, const PrivateCopy &copy) const;
    FixResult replace(const SavedFile &saved, const PrivateCopy &copy, const QByteArray &result,
                      bool copyHoldsResult) const;
    bool changedLinesOnly() const;
    Result<SavedFile> unsavedVersion(const QString &filePath) const;
    std::optional<QByteArray> baseline(const QString &filePath) const;
    void reach(FixStage stage) const;
    void announce(const QString &filePath) const;

    const SupportedFileExtension m_language;
    const ToolProfile &m_profile;
    const QUrl m_configURL;
    // Decoded once: a literal "%" in a folder name reaches the tool as it is on disk.
    const QString m_configPath;
    const Environment m_environment;
};
