// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/LogExport.h"

#include "core/support/SprucerLogger.h"
#include "gui/support/Dialogs.h"

namespace LogExport {

void exportLogs(QWidget *parent)
{
    if (!SprucerLogger::shared().prepareExport())
        return;
    Dialogs::current().chooseSaveFile(parent, QStringLiteral("Export Logs"),
                                      QStringLiteral("sprucer.log"), [](const QString &path) {
                                          if (!path.isEmpty())
                                              SprucerLogger::shared().exportTo(path);
                                      });
}

} // namespace LogExport
