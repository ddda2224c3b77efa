// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/SignalProcessor.h"
#include "core/telemetry/TelemetryManager.h"
#include "core/telemetry/TelemetryTestSupport.h"
#include "core/telemetry/UsageSignals.h"
#include "support/LocalHttpResponder.h"

#include <QElapsedTimer>

// The client as the program uses it: signals go in through UsageSignals, the quit stops it.
class TestTelemetryManager : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }
    void cleanup() { TelemetryManager::shutdown(); }

    void whatIsUnsentAtQuitGoesFirstAtTheNextLaunch()
    {
        LocalHttpResponder silent;
        silent.answerWith({});
        LogCapture log;
        const TelemetryManagerConfiguration first = testConfiguration(log, silent.url());
        TelemetryManager::initialize(first);
        QTRY_COMPARE(silent.requests().size(), 1); // the launch's own signals, on the wire
        UsageSignals::signal(u"MonitorAdded"_s, {{u"kind"_s, u"cpp"_s}}, 2.5, u"someone"_s);
        UsageSignals::signal(u"MonitorRemoved"_s);
        TelemetryManager::requestImmediateSync();
        QTRY_COMPARE(silent.requests().size(), 2);

        QElapsedTimer quitting;
        quitting.start();
        QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit");
        QVERIFY(!TelemetryManager::isInitialized());
        QVERIFY2(quitting.elapsed() < 2000, qPrintable(QString::number(quitting.elapsed())));
        UsageSignals::signal(u"MonitorStopped"_s); // no client: dropped

        LocalHttpResponder responder;
        const TelemetryManagerConfiguration second = testConfiguration(log, responder.url());
        TelemetryManager::initialize(second);
        QTRY_COMPARE(responder.requests().size(), 1);
        QVERIFY(!QFile::exists(cacheFile()));
        const QList<SignalPostBody> bodies =
            SignalPostBody::decodeList(responder.requests()[0].body)
                .value_or(QList<SignalPostBody>());
        QStringList types;
        for (const SignalPostBody &body : bodies)
            types << body.type;
        const QString session = u"TelemetryDeck.Session.started"_s;
        QCOMPARE(types, (QStringList{u"TelemetryDeck.Acquisition.newInstallDetected"_s, session,
                                     u"MonitorAdded"_s, u"MonitorRemoved"_s, session}));
        QCOMPARE(bodies[0].payload.value(u"TelemetryDeck.Acquisition.firstSessionDate"_s),
                 QDate::currentDate().toString(Qt::ISODate));
        QCOMPARE(bodies[2].payload.value(u"kind"_s), u"cpp"_s);
        QCOMPARE(bodies[2].floatValue, 2.5);
        QCOMPARE(bodies[2].clientUser, SignalProcessor::hashedUser(u"someone"_s, QString()));
        QCOMPARE(bodies[3].sessionID, first.sessionID);
        QCOMPARE(bodies[4].sessionID, second.sessionID);
        QCOMPARE(bodies[4].clientUser, bodies[0].clientUser);
    }

    void itStartsOnlyWithAnAppIDAndAnHttpAddress()
    {
        LogCapture log;
        TelemetryManagerConfiguration blankID = testConfiguration(log);
        blankID.telemetryAppID = u" "_s;
        for (const TelemetryManagerConfiguration &config :
             {testConfiguration(log, QUrl(u"ftp://x.test"_s)),
              testConfiguration(log, QUrl(u"http:///v2"_s)), blankID}) {
            TelemetryManager::initialize(config);
            QVERIFY(!TelemetryManager::isInitialized());
        }
        QCOMPARE(log.lines().filter(u"Analytics not started"_s).size(), 3);
    }
};

SPRUCER_TEST_MAIN(TestTelemetryManager)
#include "TestTelemetryManager.moc"
