// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <sys/stat.h>

// Whole reads and writes on a file descriptor, for the code that must work below QFile (inode
// identity, exclusive creation, in-place rewrites). Both retry short transfers and signals;
// on failure `errno` tells why.
namespace PosixFiles {

// Opens `path` for reading only if it is a regular file: never through a symbolic link, never
// waiting for a pipe's writer, and never a device that reads without end. `info` gets the
// file's status. Returns the descriptor, or -1 with errno set (EINVAL: not a regular file).
int openRegular(const char *path, struct stat &info);
// Reads a whole regular file of at most `limit` bytes. False with errno set otherwise (EFBIG:
// larger than the limit, EINVAL: not a regular file, EAGAIN: it changed size while read).
bool readRegular(const char *path, qint64 limit, QByteArray &bytes);

// Writes all of `bytes` from offset 0.
bool writeAllAt(int fd, const QByteArray &bytes);
// Reads from the current offset to the end, but at most `limit` bytes.
bool readAll(int fd, qint64 limit, QByteArray &bytes);

} // namespace PosixFiles
