// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/DesktopNotifications.h"
#include "support/TestMain.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QVariantMap>

using namespace Qt::StringLiterals;

namespace {

// What a desktop's notification service hears, over a session bus of the test's own.
class NotificationServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList heard;

public Q_SLOTS:
    uint Notify(const QString &application, uint, const QString &icon, const QString &summary,
                const QString &body, const QStringList &, const QVariantMap &, int)
    {
        heard << application + u'|' + icon + u'|' + summary + u'|' + body;
        return uint(heard.size());
    }
};

} // namespace

class TestDesktopNotifications : public QObject
{
    Q_OBJECT

    QProcess m_bus;

private Q_SLOTS:
    void initTestCase()
    {
        const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
        if (daemon.isEmpty())
            QSKIP("dbus-daemon is not installed (Debian package dbus-daemon)");
        m_bus.start(daemon, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        QVERIFY(m_bus.waitForReadyRead(10000));
        // Read by the session bus on its first use, which is below.
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.readLine().trimmed());
    }

    void cleanupTestCase()
    {
        m_bus.kill();
        m_bus.waitForFinished();
    }

    // Without a service nothing is shown and nothing waits; with one, it hears Sprucer's words.
    void aNotificationReachesTheServiceWhereThereIsOne()
    {
        QVERIFY(!DesktopNotifications::available());
        QVERIFY(!DesktopNotifications::notify(u"Nobody"_s, u"hears this"_s));

        const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
        QDBusConnection desktop = QDBusConnection::connectToBus(address, u"desktop"_s);
        NotificationServer server;
        QVERIFY(desktop.registerObject(u"/org/freedesktop/Notifications"_s, &server,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(desktop.registerService(u"org.freedesktop.Notifications"_s));

        QVERIFY(DesktopNotifications::notify(u"“shop”: Tool missing"_s,
                                             u"Tool missing: ktlint is not installed."_s));
        QTRY_COMPARE(server.heard,
                     QStringList{u"Sprucer|com.velmora.Sprucer|“shop”: Tool missing|Tool missing: "
                                 u"ktlint is not installed."_s});
        QDBusConnection::disconnectFromBus(u"desktop"_s);
    }
};

SPRUCER_TEST_MAIN(TestDesktopNotifications)
#include "TestDesktopNotifications.moc"
