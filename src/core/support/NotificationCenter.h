// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

// The process-wide carrier of named notifications with their user info. Lives on the main
// thread; a post from another thread is delivered there.
class NotificationCenter : public QObject
{
    Q_OBJECT

public:
    static NotificationCenter &shared();

    void post(const QString &name, const QVariantMap &userInfo = {});

Q_SIGNALS:
    void notified(const QString &name, const QVariantMap &userInfo);
};
