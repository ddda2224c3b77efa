// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/NotificationCenter.h"

#include "core/support/MainThreadInstance.h"

#include <QMetaObject>

NotificationCenter &NotificationCenter::shared()
{
    return mainThreadInstance<NotificationCenter>();
}

void NotificationCenter::post(const QString &name, const QVariantMap &userInfo)
{
    QMetaObject::invokeMethod(this, [this, name, userInfo] { Q_EMIT notified(name, userInfo); });
}
