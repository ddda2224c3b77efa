// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/SourceFiles.h"

#include "core/support/TreeWalk.h"
#include "core/watching/FixPipeline.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

QStringList SourceFiles::inTree(const QString &root, const std::atomic_bool *cancel)
{
    QStringList files;
    TreeWalk::Options options;
    options.cancel = cancel;
    TreeWalk::files(QFile::encodeName(root).toStdString(), options,
                    [&files](std::string path, std::string_view) {
                        files.append(QFile::decodeName(path.c_str()));
                    });
    return files;
}

QStringList SourceFiles::of(SupportedFileExtension kind, const QString &path,
                            const QList<WatcherNesting::Inner> &inner)
{
    // Not resolved: the files keep the names the user reaches them by.
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QFileInfo info(absolute);
    QStringList found;
    if (info.isDir())
        found = inTree(absolute);
    else if (info.isFile() && !info.isSymLink())
        found = {absolute};
    found.removeIf([&](const QString &file) {
        return !FixPipeline::takes(kind, file) || WatcherNesting::ownedByInner(inner, file);
    });
    std::sort(found.begin(), found.end());
    return found;
}
