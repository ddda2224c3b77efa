// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandParser.h"
#include "cli/CommandReply.h"
#include "core/formatting/IFixer.h"
#include "core/model/CodeWatcherModel.h"

#include <QList>
#include <QStringList>

#include <memory>
#include <variant>

class CoreServices;
class UserDefaults;

// What `check` and `format` share: their options, a core that formats without watching, and
// the files named, each group with the watcher whose language and configuration apply and the
// fixer made for it.
class TreeCommand
{
public:
    struct Job
    {
        CodeWatcherModel watcher; // no id: a configuration named on the command line
        std::shared_ptr<IFixer> fixer;
        QStringList files;
    };

    TreeCommand(const QString &command, const QString &synopsis, const QString &description);
    ~TreeCommand();

    CommandParser &parser() { return m_parser; }
    // Adds `--staged`: the files staged in the repository of the working folder, checked as
    // the index holds them.
    void offerStaged();

    // After the options are added: parses them, makes the core and the jobs. A reply when the
    // command must not go on (help, a mistake, a configuration gone).
    std::optional<CommandReply> prepare(const QStringList &arguments, bool checkOnly);

    CoreServices &core() { return *m_core; }
    const QList<Job> &jobs() const { return m_jobs; }
    qsizetype fileCount() const;
    // Relative to the working folder when inside it, as the user named it.
    static QString shown(const QString &path);
    CommandReply refused(const QString &line) const { return m_parser.wrong(line); }

private:
    // The staged files the command takes, or a reply when there are none to take.
    std::variant<QStringList, CommandReply> stagedFiles(const QList<CodeWatcherModel> &watchers,
                                                        bool anyFolder);

    QString m_command;
    bool m_offersStaged = false;
    CommandParser m_parser;
    std::unique_ptr<UserDefaults> m_settings;
    std::unique_ptr<CoreServices> m_core;
    QList<Job> m_jobs;
};
