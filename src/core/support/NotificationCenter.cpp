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
    if (name != fileProcessingStartedName && name != fileProcessingCompleteName) {
        Q_EMIT posted(name, userInfo, object);
        return;
    }
    const QVariant id = userInfo.value(watcherIdKey);
    if (id.typeId() != QMetaType::QUuid)
        return;
    if (name == fileProcessingStartedName)
        Q_EMIT fileProcessingStarted(id.toUuid());
    else
        Q_EMIT fileProcessingComplete(id.toUuid());
}
