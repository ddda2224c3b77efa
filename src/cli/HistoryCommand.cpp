// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/HistoryCommand.h"

#include "cli/CommandParser.h"
#include "cli/TreeCommand.h"
#include "core/history/FixJournal.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString kJson = QStringLiteral("json");
const QString kLimit = QStringLiteral("limit");

QJsonValue orNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QString jsonLine(const FixRecord &fix)
{
    const QJsonObject object{{QStringLiteral("id"), qint64(fix.id)},
                             {QStringLiteral("time"), fix.time.toString(Qt::ISODateWithMs)},
                             {QStringLiteral("watcher"), orNull(fix.watcher)},
                             {QStringLiteral("path"), fix.path},
                             {QStringLiteral("tool"), orNull(fix.tool)},
                             {QStringLiteral("configuration"), orNull(fix.configuration)},
                             {QStringLiteral("added"), fix.added},
                             {QStringLiteral("removed"), fix.removed},
                             {QStringLiteral("undone"), fix.undone()},
                             {QStringLiteral("run"), orNull(fix.run)}};
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + u'\n';
}

QString textLine(const FixRecord &fix)
{
    return QStringLiteral("%1  %2  %3  %4  +%5 −%6%7\n")
        .arg(fix.id)
        .arg(fix.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
             fix.watcher.isEmpty() ? QStringLiteral("-") : fix.watcher,
             TreeCommand::shown(fix.path))
        .arg(fix.added)
        .arg(fix.removed)
        .arg(fix.undone() ? QStringLiteral("  undone") : QString());
}

// A file, or every file under a folder.
bool under(const QString &path, const QString &filter)
{
    return filter.isEmpty() || path == filter || path.startsWith(filter + u'/');
}

CommandReply show(const QStringList &arguments)
{
    CommandParser parser(QStringLiteral("history show"), QStringLiteral("ID"),
                         QStringLiteral("Prints the changes of the fix ID as a unified diff."));
    if (std::optional<CommandReply> stop = parser.parse(arguments, 1, 1))
        return *stop;
    const quint64 id = parser.positional().first().toULongLong();
    FixJournal journal;
    const std::optional<FixRecord> fix = id ? journal.find(id) : std::nullopt;
    if (!fix || fix->kind != FixRecord::Kind::fix)
        return parser.wrong(
            QStringLiteral("no fix has the id \"%1\"").arg(parser.positional().first()));
    const std::optional<QByteArray> diff = journal.diff(id);
    if (!diff)
        return parser.wrong(QStringLiteral("the diff of the fix %1 cannot be read").arg(id));
    return CommandReply::done(QString::fromUtf8(*diff));
}

CommandReply list(const QStringList &arguments)
{
    CommandParser parser(QStringLiteral("history"),
                         QStringLiteral("[--json] [--limit N] [PATH] | show ID"),
                         QStringLiteral("Lists the fixes kept, newest first, of the file or "
                                        "folder PATH (default: all): id, time, watcher, path, "
                                        "lines added and removed, and whether it was undone."));
    parser.options().addOption({kJson, QStringLiteral("One JSON object a line.")});
    parser.options().addOption(
        {kLimit, QStringLiteral("At most N fixes."), QStringLiteral("N"), QStringLiteral("0")});
    if (std::optional<CommandReply> stop = parser.parse(arguments, 0, 1))
        return *stop;
    bool ok = false;
    const int limit = parser.options().value(kLimit).toInt(&ok);
    if (!ok || limit < 0)
        return parser.wrong(QStringLiteral("--limit takes a number"));
    const QString filter = parser.positional().isEmpty()
                               ? QString()
                               : QFileInfo(parser.positional().first()).absoluteFilePath();
    const bool json = parser.options().isSet(kJson);
    QString out;
    int shown = 0;
    for (const FixRecord &fix : FixJournal().fixes()) {
        if (limit > 0 && shown >= limit)
            break;
        if (!under(fix.path, filter))
            continue;
        out += json ? jsonLine(fix) : textLine(fix);
        ++shown;
    }
    return CommandReply::done(out);
}

} // namespace

namespace HistoryCommand {

CommandReply run(const QStringList &arguments)
{
    if (arguments.value(0) == QStringLiteral("show"))
        return show(arguments.mid(1));
    return list(arguments);
}

} // namespace HistoryCommand
