// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QUuid>
#include <QVariantMap>

// The process-wide carrier of the program's named notifications: `post` takes a name with its
// user info and object from any thread, and observers hear of it on the main thread. The
// watcher notifications the core posts come as typed signals; every other name (the screens'
// own) comes through `posted`, for its observers to pick by name.
class NotificationCenter : public QObject
{
    Q_OBJECT

public:
    static inline const QString fileProcessingStartedName = QStringLiteral("fileProcessingStarted");
    static inline const QString fileProcessingCompleteName =
        QStringLiteral("fileProcessingComplete");
    // The user info key of the watcher notifications.
    static inline const QString watcherIdKey = QStringLiteral("watcherId");

    explicit NotificationCenter(QObject *parent = nullptr);

    // Any thread. A watcher notification without a UUID under "watcherId" is dropped.
    void post(const QString &name, const QVariantMap &userInfo = {}, const QVariant &object = {});

Q_SIGNALS:
    void fileProcessingStarted(const QUuid &watcherId);
    void fileProcessingComplete(const QUuid &watcherId);
    void posted(const QString &name, const QVariantMap &userInfo, const QVariant &object);

private:
    void deliver(const QString &name, const QVariantMap &userInfo, const QVariant &object);
};
