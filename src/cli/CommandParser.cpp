// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandParser.h"

#include <utility>

CommandParser::CommandParser(QString command, QString synopsis, const QString &description)
    : m_command(std::move(command))
    , m_synopsis(std::move(synopsis))
{
    m_parser.setApplicationDescription(description);
    m_parser.addHelpOption();
}

std::optional<CommandReply> CommandParser::parse(const QStringList &arguments, qsizetype least,
                                                 qsizetype most)
{
    // The parser reads the program's name from the first argument.
    if (!m_parser.parse(QStringList{QStringLiteral("sprucer")} + arguments))
        return wrong(m_parser.errorText());
    if (m_parser.isSet(QStringLiteral("help"))) {
        QString help = m_parser.helpText();
        // Its usage line names the program only.
        help.replace(0, help.indexOf(u'\n'),
                     QStringLiteral("Usage: sprucer %1 %2").arg(m_command, m_synopsis));
        return CommandReply::done(help);
    }
    const qsizetype given = m_parser.positionalArguments().size();
    if (given < least)
        return wrong(QStringLiteral("Missing arguments: sprucer %1 %2").arg(m_command, m_synopsis));
    if (given > most)
        return wrong(QStringLiteral("Unexpected argument \"%1\"")
                         .arg(m_parser.positionalArguments().value(most)));
    return std::nullopt;
}

CommandReply CommandParser::wrong(const QString &line) const
{
    return CommandReply::refused(
        QStringLiteral("sprucer %1: %2 (see: sprucer %1 --help)").arg(m_command, line));
}
