// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

// Whole reads and writes on a file descriptor, for the code that must work below QFile (inode
// identity, exclusive creation, in-place rewrites). Both retry short transfers and signals;
// on failure `errno` tells why.
namespace PosixFiles {

// Writes all of `bytes` from offset 0.
bool writeAllAt(int fd, const QByteArray &bytes);
// Reads from the current offset to the end, but at most `limit` bytes.
bool readAll(int fd, qint64 limit, QByteArray &bytes);

} // namespace PosixFiles
