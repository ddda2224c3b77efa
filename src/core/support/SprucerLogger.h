// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/support/Log.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QString>
#include <QThreadPool>

#include <sys/types.h>

// The application's log file, "sprucer.log" in the caches folder.
// `log` may be called from any thread and returns at once; the lines are appended by one
// writer thread in the order of the calls, so lines never interleave. Failures are swallowed:
// logging must never hurt the caller.
class SprucerLogger : public LogSink
{
public:
    static SprucerLogger &shared();

    SprucerLogger();
    ~SprucerLogger() override;
    SprucerLogger(const SprucerLogger &) = delete;
    SprucerLogger &operator=(const SprucerLogger &) = delete;

    void log(const QString &message) override;

    // Blocks until every line logged so far is on disk.
    void flush();

    QString logFilePath() const;

    // First step of an export: false (after logging why) when there is no log file to export.
    bool prepareExport();
    // Copies the log to `destinationPath`, which must not exist yet, and logs the outcome;
    // `failure`, when given, gets why it failed.
    bool exportTo(const QString &destinationPath, QString *failure = nullptr);

    // "[<short date>, <medium time>] " in the given locale.
    static QString timestampPrefix(const QDateTime &when, const QLocale &locale);

private:
    void append(const QByteArray &bytes);
    // The file stays open between lines while it is still the one at `path`: a log removed
    // or moved aside, or another home (tests), gets a new file.
    bool keepsOpen(const QString &path) const;
    void openNew(const QString &path, const QByteArray &firstLine);

    QThreadPool m_writer;
    // Touched by the writer thread only.
    QFile m_file;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};
