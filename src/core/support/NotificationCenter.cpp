// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/NotificationCenter.h"

#include <QCoreApplication>
#include <QMetaObject>

NotificationCenter &NotificationCenter::shared()
{
    static NotificationCenter *const instance = [] {
        auto *center = new NotificationCenter;
        if (QCoreApplication::instance())
            center->moveToThread(QCoreApplication::instance()->thread());
        return center;
    }();
    return *instance;
}

void NotificationCenter::post(const QString &name, const QVariantMap &userInfo)
{
    QMetaObject::invokeMethod(this, [this, name, userInfo] { Q_EMIT notified(name, userInfo); });
}
