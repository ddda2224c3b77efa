// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QUuid>
#include <QVariantMap>

// The process-wide carrier of the program's named notifications. Each name is carried by one
// typed signal, emitted on the main thread, which is what observers bind to; `post` takes a
// name with its user info from any thread.
class NotificationCenter : public QObject
{
    Q_OBJECT

public:
    static inline const QString fileProcessingStartedName = QStringLiteral("fileProcessingStarted");
    static inline const QString fileProcessingCompleteName =
        QStringLiteral("fileProcessingComplete");
    static inline const QString activeStateChangedName =
        QStringLiteral("SprucerActiveStateChanged");
    static inline const QString switchToConfigurationsTabName =
        QStringLiteral("SwitchToConfigurationsTab");
    // The user info key of the watcher notifications.
    static inline const QString watcherIdKey = QStringLiteral("watcherId");

    explicit NotificationCenter(QObject *parent = nullptr);

    // Any thread. A name carried here with what it needs (a UUID under "watcherId", a Boolean
    // object) reaches the observers on the main thread; anything else is dropped.
    void post(const QString &name, const QVariantMap &userInfo = {}, const QVariant &object = {});

Q_SIGNALS:
    void fileProcessingStarted(const QUuid &watcherId);
    void fileProcessingComplete(const QUuid &watcherId);
    void activeStateChanged(bool active);
    void switchToConfigurationsTab();

private:
    void deliver(const QString &name, const QVariantMap &userInfo, const QVariant &object);
};
