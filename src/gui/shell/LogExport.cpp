// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/LogExport.h"

#include "core/support/SprucerLogger.h"
#include "gui/support/Dialogs.h"

#include <QPointer>
#include <QWidget>

namespace LogExport {

void exportLogs(QWidget *parent)
{
    if (!SprucerLogger::shared().prepareExport()) {
        Dialogs::current().showFailure(parent, QStringLiteral("No log to export"),
                                       QStringLiteral("Sprucer has not written its log yet."));
        return;
    }
    const QPointer<QWidget> window(parent);
    Dialogs::current().chooseSaveFile(
        parent, QStringLiteral("Export Logs"), QStringLiteral("sprucer.log"),
        [window](const QString &path) {
            if (path.isEmpty())
                return;
            QString failure;
            if (SprucerLogger::shared().exportTo(path, &failure))
                Dialogs::current().showDone(window, QStringLiteral("Log exported"),
                                            QStringLiteral("The log was saved to ") + path + u'.');
            else
                Dialogs::current().showFailure(window, QStringLiteral("Log not exported"), failure);
        });
}

} // namespace LogExport
