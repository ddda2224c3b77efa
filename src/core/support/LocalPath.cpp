// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/LocalPath.h"

#include <QDir>

namespace LocalPath {

QString normalized(const QString &path)
{
    return path.isEmpty() ? QString() : QDir::cleanPath(path);
}

QString fromUrl(const QUrl &url)
{
    return url.isLocalFile() ? normalized(url.toLocalFile()) : QString();
}

QString urlText(const QString &path)
{
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

QString shown(const QString &path)
{
    const QString home = normalized(QDir::homePath());
    if (home == QStringLiteral("/") || home.isEmpty())
        return path;
    if (path == home)
        return QStringLiteral("~");
    if (path.startsWith(home + u'/'))
        return u'~' + path.mid(home.size());
    return path;
}

QUrl directoryUrl(const QString &path)
{
    const QString clean = normalized(path);
    return QUrl::fromLocalFile(clean.endsWith(u'/') ? clean : clean + u'/');
}

} // namespace LocalPath
