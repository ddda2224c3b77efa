// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Platform.h"
#include "platform/linux/DesktopNotifications.h"
#include "platform/linux/InotifyReturnWatch.h"
#include "platform/linux/InotifyTree.h"
#include "platform/linux/XdgAutostart.h"

#include <QCoreApplication>

PlatformServices Platform::services()
{
    PlatformServices services;
    services.treeEventSources = [](const QString &root, std::chrono::milliseconds slack) {
        return std::unique_ptr<TreeEventSource>(std::make_unique<InotifyTree>(root, slack));
    };
    services.returnWatches = [](const QString &path) {
        return std::unique_ptr<ReturnWatch>(std::make_unique<InotifyReturnWatch>(path));
    };
    services.registerLoginItem = [] {
        return XdgAutostart::registerLoginItem(QCoreApplication::applicationFilePath());
    };
    services.unregisterLoginItem = [] {
        return XdgAutostart::unregisterLoginItem();
    };
    services.notify = [](const QString &summary, const QString &body) {
        DesktopNotifications::notify(summary, body);
    };
    return services;
}
