// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

// The one form in which the core passes files and directories around: a local path, absolute
// and clean, without a trailing slash. URLs only appear where a stored form or a line of text
// needs them.
namespace LocalPath {

// "/a/b/../c//" becomes "/a/c"; the root stays "/".
QString normalized(const QString &path);

// The normal path of a file URL; empty for a URL that names no local file.
QString fromUrl(const QUrl &url);

// The URL text of a file, percent-encoded, as console and log lines show it.
QString urlText(const QString &path);

// A directory's URL, ending in "/" as stored directory URLs do.
QUrl directoryUrl(const QString &path);

// A path as a person reads it: decoded, and "~" for the home folder ("~/Code/My Project").
QString shown(const QString &path);

} // namespace LocalPath
