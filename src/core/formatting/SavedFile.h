// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/support/Result.h"

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// One version of a user's file, taken before its tool runs: the bytes and what tells that
// version apart from a later save (the inode, size and modification time).
class SavedFile
{
public:
    struct Identity
    {
        dev_t device = 0;
        ino_t inode = 0;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        mode_t mode = 0;
        uid_t owner = 0;
        gid_t group = 0;
        nlink_t links = 0;

        bool sameVersion(const Identity &other) const;
    };

    // Reads a regular file whole; files larger than `sizeLimit` keep their identity but no bytes
    // (`isWhole` is false), so the caller can tell why it will not format them.
    static Result<SavedFile> read(const QString &path, qint64 sizeLimit);
    // A version that is not on disk (what git's index holds of the file), for a check: it has
    // no identity of its own, so no file ever holds it.
    static SavedFile unsaved(const QString &path, QByteArray bytes);

    const QString &path() const { return m_path; }
    const QByteArray &bytes() const { return m_bytes; }
    const Identity &identity() const { return m_identity; }
    bool isWhole() const { return m_identity.size == m_bytes.size(); }
    // A NUL byte near the start: a file no formatter should see as source text.
    bool looksBinary() const { return looksBinary(m_bytes); }
    static bool looksBinary(const QByteArray &bytes);

    // Whether `path` (this file's path unless given) holds exactly this version: the same inode,
    // size and time, and the same bytes, since a save within the clock's tick keeps the time.
    bool isHeldAt(const QString &path) const;
    bool isUnchanged() const { return isHeldAt(m_path); }

private:
    QString m_path;
    QByteArray m_bytes;
    Identity m_identity;
};
