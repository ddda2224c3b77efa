// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/AppPaths.h"

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

} // namespace AppPaths
