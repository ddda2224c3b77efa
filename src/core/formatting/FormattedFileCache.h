// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/SavedFile.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QString>

#include <chrono>

// The files a tool found already formatted, so that a second "Run Fixers", `check` or `format`
// over a tree nobody changed does not run the tool again. An entry holds for one version of one
// file (its inode, size and modification time, and the SHA-256 of its bytes: a save within the
// clock's tick keeps the time, never the bytes) under one stamp: the configuration's text and
// the tool's version. Anything else, and a file that does not read back whole, is a miss.
// Kept in one file that a crash or another process can only make stale or unreadable, never
// trusted wrongly. Any thread.
class FormattedFileCache
{
public:
    // Empty `file`: kept in memory only.
    explicit FormattedFileCache(QString file);
    // Writes what was learnt.
    ~FormattedFileCache();
    FormattedFileCache(const FormattedFileCache &) = delete;
    FormattedFileCache &operator=(const FormattedFileCache &) = delete;

    // What a run of `toolPath` with the configuration at `configPath` is stamped with; empty when
    // either cannot be read (nothing is then looked up or remembered). The tool's version is
    // asked once per executable.
    QByteArray stamp(const QString &toolPath, const QString &configPath);

    bool isFormatted(const SavedFile &file, const QByteArray &stamp);
    void rememberFormatted(const SavedFile &file, const QByteArray &stamp);
    // A file the tool changed, or whose run failed, is not formatted as it was read.
    void forget(const QString &path);

    // Writes the entries if any changed since the file was last read or written.
    bool save();
    // The same, at most every few seconds: a run over a tree learns a batch at a time.
    void saveIfDue();

    // More entries than this and the oldest knowledge goes: the whole cache starts again.
    static constexpr qsizetype maxEntries = 200000;

private:
    struct Entry
    {
        SavedFile::Identity identity;
        QByteArray digest;
        QByteArray stamp;
    };

    void load();
    QByteArray toolVersion(const QString &toolPath);

    const QString m_file;
    QMutex m_mutex;
    bool m_loaded = false;
    bool m_dirty = false;
    QElapsedTimer m_sinceSave;
    QHash<QString, Entry> m_entries;
    QHash<QByteArray, QByteArray> m_versions; // by the executable's path, size and time
};
