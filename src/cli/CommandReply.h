// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What a command prints and how it ends. Made where the command runs (this process, or the
// running Sprucer it was handed to) and printed by the process the user started.
struct CommandReply
{
    // The exit statuses every command shares.
    enum Status
    {
        success = 0,
        changesFound = 1, // `check`: some file would change
        badInput = 2,     // nothing was done: an unknown name, a missing file, a refused tool…
    };

    int status = success;
    QString out; // standard output, whole lines
    QString err; // standard error, whole lines

    static CommandReply done(const QString &out = {}) { return {success, out, {}}; }
    // One clear line on standard error; nothing was changed.
    static CommandReply refused(const QString &line) { return {badInput, {}, line + u'\n'}; }

    QByteArray toJson() const;
    static std::optional<CommandReply> fromJson(const QByteArray &json);

    // Prints both texts and returns the status for main.
    int print() const;
};
