// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/AppPaths.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace AppPaths {

namespace {
const QString kFolderName = QStringLiteral("Sprucer");
}

QString cachesDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + u'/' +
           kFolderName;
}

QString applicationSupportDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString configurationsDirectory()
{
    return applicationSupportDirectory() + u'/' + kFolderName;
}

QString outOfTreeCopiesDirectory()
{
    // Not QStandardPaths: without the variable it makes a runtime folder of its own in /tmp.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/sprucer/copies");
    return cachesDirectory() + QStringLiteral("/copies");
}

} // namespace AppPaths
