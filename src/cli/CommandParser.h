// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandReply.h"

#include <QCommandLineParser>
#include <QStringList>

#include <optional>

// One subcommand's options, parsed without exiting the process: `--help` and every mistake come
// back as the reply to print (a mistake exits 2 with one line and a pointer to the help).
class CommandParser
{
public:
    // `command`: "config add"; `synopsis`: what follows it in the usage line.
    CommandParser(QString command, QString synopsis, const QString &description);

    QCommandLineParser &options() { return m_parser; }

    // A reply when the command must not run: its help was asked for, or the arguments are wrong
    // (unknown option, `positional` outside [least, most]).
    std::optional<CommandReply> parse(const QStringList &arguments, qsizetype least,
                                      qsizetype most);

    QStringList positional() const { return m_parser.positionalArguments(); }
    CommandReply wrong(const QString &line) const;

private:
    QString m_command;
    QString m_synopsis;
    QCommandLineParser m_parser;
};
