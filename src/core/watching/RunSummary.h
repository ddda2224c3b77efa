// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QMetaType>
#include <QString>

// What one "Run Fixers" over a watcher's tree came to, told in its row and in the log.
struct RunSummary
{
    qsizetype checked = 0; // the language's files looked at, formatted already or not
    qsizetype changed = 0; // fixes: the tool's result differed and replaced the file
    qsizetype failed = 0;  // the tool could not run or complained
    QString firstFailure;  // the first failed file and why, empty when none failed

    // "300 checked · 12 changed · 0 failed"
    QString text() const
    {
        const QLocale locale;
        return QStringLiteral("%1 checked · %2 changed · %3 failed")
            .arg(locale.toString(checked), locale.toString(changed), locale.toString(failed));
    }

    // How one file's failure is told: by the file's name, which the tool's own words usually
    // hold already, with its whole path.
    static QString failureOf(const QString &path, const QString &reason)
    {
        const QString name = path.mid(path.lastIndexOf(u'/') + 1);
        if (reason.contains(path))
            return QString(reason).replace(path, name);
        return name + QStringLiteral(": ") + reason;
    }

    friend bool operator==(const RunSummary &, const RunSummary &) = default;
};

Q_DECLARE_METATYPE(RunSummary)
