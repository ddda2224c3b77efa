// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/DesktopNotifications.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>

using namespace Qt::StringLiterals;

namespace {

const QString kService = u"org.freedesktop.Notifications"_s;

} // namespace

namespace DesktopNotifications {

bool available()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    // Running now, or started by the bus on the first call.
    if (bus.interface()->isServiceRegistered(kService))
        return true;
    const QStringList activatable = bus.interface()->activatableServiceNames();
    return activatable.contains(kService);
}

bool notify(const QString &summary, const QString &body)
{
    if (!available())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, u"/org/freedesktop/Notifications"_s, kService, u"Notify"_s);
    // Application name, id to replace (none), icon, summary, body, actions, hints, timeout
    // (the server's default).
    call << u"Sprucer"_s << uint(0) << u"com.velmora.Sprucer"_s << summary << body << QStringList()
         << QVariantMap{{u"desktop-entry"_s, u"com.velmora.Sprucer"_s}} << int(-1);
    // No reply is awaited: a slow server must not hold the window.
    return QDBusConnection::sessionBus().send(call);
}

} // namespace DesktopNotifications
