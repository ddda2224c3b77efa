// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/PrivateCopyFolders.h"

#include <QDirIterator>

namespace PrivateCopyFolders {

QStringList under(const QString &root)
{
    QStringList found;
    QDirIterator it(root, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (it.fileName().startsWith(QStringLiteral(".sprucer-copy-")))
            found << it.filePath();
    }
    return found;
}

} // namespace PrivateCopyFolders
