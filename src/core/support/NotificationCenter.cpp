// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/NotificationCenter.h"


#include <QMetaObject>

NotificationCenter::NotificationCenter(QObject *parent)
    : QObject(parent)
{}

void NotificationCenter::post(const QString &name, const QVariantMap &userInfo,
                              const QVariant &object)
{
    // At once on the main thread, queued from any other.
    QMetaObject::invokeMethod(this,
                              [this, name, userInfo, object] { deliver(name, userInfo, object); });
}

void NotificationCenter::deliver(const QString &name, const QVariantMap &userInfo,
                                 const QVariant &object)
{
    if (name == switchToConfigurationsTabName) {
        Q_EMIT switchToConfigurationsTab();
    } else if (name == activeStateChangedName) {
        if (object.typeId() == QMetaType::Bool)
            Q_EMIT activeStateChanged(object.toBool());
    } else if (name == fileProcessingStartedName || name == fileProcessingCompleteName) {
        const QVariant id = userInfo.value(watcherIdKey);
        if (id.typeId() != QMetaType::QUuid)
            return;
        if (name == fileProcessingStartedName)
            Q_EMIT fileProcessingStarted(id.toUuid());
        else
            Q_EMIT fileProcessingComplete(id.toUuid());
    }
}
