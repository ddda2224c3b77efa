// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QString>

// "Checking 120 of 1,000 files…" on standard error, rewritten in place, while a long command
// runs on a terminal; nothing at all when standard error is a file or a pipe, whose reader wants
// no decoration. Calls come one at a time, from any thread.
class ProgressLine
{
public:
    explicit ProgressLine(QString verb);
    ~ProgressLine();
    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    void show(qsizetype done, qsizetype total);
    // Clears the line, so what the command prints next starts clean.
    void finish();

private:
    const QString m_verb;
    const bool m_onTerminal;
    bool m_shown = false;
    QElapsedTimer m_sinceLast;
};
