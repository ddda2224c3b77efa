// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/StoredForms.h"
#include "core/telemetry/TelemetryManager.h"
#include "core/telemetry/TelemetryTestSupport.h"
#include "core/telemetry/UsageSignals.h"
#include "support/LocalHttpResponder.h"
#include "support/TestMain.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

namespace {

const QString kAppID = QStringLiteral("6F1C2B9E-4D3A-4E7B-9A15-C08D2E7F3B41");

QString cacheFile()
{
    return TestHome::current().cacheDirectory() + QStringLiteral("/Sprucer/telemetrysignalcache");
}

TelemetryManagerConfiguration configuration(const QUrl &url, LogCapture &log)
{
    TelemetryManagerConfiguration config(kAppID, QString(), url);
    // Only the attempt at start and those the test asks for.
    config.sendInterval = std::chrono::hours(1);
    config.shutdownGrace = std::chrono::milliseconds(200);
    config.defaultsStoreFile = TestHome::current().path() + QStringLiteral("/telemetry.ini");
    config.logHandler = log.handler();
    return config;
}

QList<SignalPostBody> bodiesOf(const LocalHttpResponder::Request &request)
{
    return SignalPostBody::decodeList(request.body).value_or(QList<SignalPostBody>());
}

QStringList typesOf(const QList<SignalPostBody> &bodies)
{
    QStringList types;
    for (const SignalPostBody &body : bodies)
        types << body.type;
    return types;
}

QList<SignalPostBody> cacheFileContent()
{
    QFile file(cacheFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return SignalPostBody::decodeList(file.readAll()).value_or(QList<SignalPostBody>());
}

} // namespace

class TestTelemetryManager : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        TestHome::current().reset();
        QFile::remove(TestHome::current().path() + QStringLiteral("/telemetry.ini"));
    }

    void cleanup() { TelemetryManager::shutdown(); }

    void registrySignalsArriveInOrderInTheWireForm()
    {
        LocalHttpResponder responder;
        LogCapture log;
        const TelemetryManagerConfiguration config = configuration(responder.url(), log);
        TelemetryManager::initialize(config);
        QVERIFY(TelemetryManager::isInitialized());

        // The first launch announces itself as soon as the client starts.
        QTRY_COMPARE(responder.requests().size(), 1);
        const QList<SignalPostBody> startup = bodiesOf(responder.requests()[0]);
        QCOMPARE(typesOf(startup), (QStringList{QStringLiteral("TelemetryDeck.Acquisition."
                                                               "newInstallDetected"),
                                                QStringLiteral("TelemetryDeck.Session.started")}));
        QCOMPARE(
            startup[0].payload.value(QStringLiteral("TelemetryDeck.Acquisition.firstSessionDate")),
            QDate::currentDate().toString(Qt::ISODate));

        // Adding a watcher, then switching all watching off, as the registry reports them.
        UsageSignals::signal(QStringLiteral("MonitorCount"),
                             {{QStringLiteral("Count"), QStringLiteral("1")}});
        UsageSignals::signal(QStringLiteral("MonitorAdded"),
                             {{QStringLiteral("kind"), QStringLiteral("cpp")}});
        UsageSignals::signal(QStringLiteral("MonitorCount"),
                             {{QStringLiteral("Count"), QStringLiteral("1")}});
        UsageSignals::signal(QStringLiteral("MonitorStopped"));
        UsageSignals::signal(QStringLiteral("AppActivationChanged"),
                             {{QStringLiteral("Active"), QStringLiteral("false")}});
        TelemetryManager::requestImmediateSync();
        QTRY_COMPARE(responder.requests().size(), 2);

        const LocalHttpResponder::Request &request = responder.requests()[1];
        const QList<SignalPostBody> bodies = bodiesOf(request);
        QCOMPARE(typesOf(bodies),
                 (QStringList{QStringLiteral("MonitorCount"), QStringLiteral("MonitorAdded"),
                              QStringLiteral("MonitorCount"), QStringLiteral("MonitorStopped"),
                              QStringLiteral("AppActivationChanged")}));
        // Each carries its own parameters and nothing else beyond what every signal carries.
        const QMap<QString, QString> defaults = startup[1].payload;
        const QList<QMap<QString, QString>> own{
            {{QStringLiteral("Count"), QStringLiteral("1")}},
            {{QStringLiteral("kind"), QStringLiteral("cpp")}},
            {{QStringLiteral("Count"), QStringLiteral("1")}},
            {},
            {{QStringLiteral("Active"), QStringLiteral("false")}}};
        for (qsizetype i = 0; i < bodies.size(); ++i) {
            QMap<QString, QString> extra;
            for (auto it = bodies[i].payload.cbegin(); it != bodies[i].payload.cend(); ++it) {
                if (!defaults.contains(it.key()))
                    extra.insert(it.key(), it.value());
            }
            QCOMPARE(extra, own[i]);
            QCOMPARE(bodies[i].sessionID, config.sessionID);
            QCOMPARE(bodies[i].clientUser, startup[0].clientUser);
        }

        // The exact wire form of the first body: keys, their order and their value forms.
        static const QRegularExpression order(QStringLiteral(
            "^\\[\\{\"receivedAt\":\"\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d{4}\","
            "\"appID\":\"([^\"]+)\",\"clientUser\":\"([0-9a-f]{64})\","
            "\"sessionID\":\"([0-9A-F-]{36})\",\"type\":\"MonitorCount\","
            "\"payload\":\\{[^}]*\\},\"isTestMode\":\"false\"\\},"));
        const auto match = order.match(QString::fromUtf8(request.body));
        QVERIFY2(match.hasMatch(), request.body.left(300).constData());
        QCOMPARE(match.captured(1), kAppID);
        QCOMPARE(match.captured(3), StoredForms::uuidText(config.sessionID));
    }

    void unsentSignalsSurviveARestart()
    {
        LogCapture log;
        const QUrl unreachable(
            QStringLiteral("http://127.0.0.1:%1").arg(LocalHttpResponder::closedPort()));
        TelemetryManager::initialize(configuration(unreachable, log));
        UsageSignals::signal(QStringLiteral("MonitorAdded"),
                             {{QStringLiteral("kind"), QStringLiteral("swift")}});
        UsageSignals::signal(QStringLiteral("MonitorRemoved"));
        TelemetryManager::shutdown();
        QVERIFY(!TelemetryManager::isInitialized());
        // Sent after the client stopped: not taken, not pretended sent.
        UsageSignals::signal(QStringLiteral("MonitorStopped"));

        const QStringList saved = typesOf(cacheFileContent());
        QCOMPARE(saved,
                 (QStringList{QStringLiteral("TelemetryDeck.Acquisition.newInstallDetected"),
                              QStringLiteral("TelemetryDeck.Session.started"),
                              QStringLiteral("MonitorAdded"), QStringLiteral("MonitorRemoved")}));

        LocalHttpResponder responder;
        TelemetryManager::initialize(configuration(responder.url(), log));
        QTRY_COMPARE(responder.requests().size(), 1);
        QVERIFY(!QFile::exists(cacheFile()));
        // The saved signals go first, then the new session's; no second install.
        QCOMPARE(typesOf(bodiesOf(responder.requests()[0])),
                 saved + QStringList{QStringLiteral("TelemetryDeck.Session.started")});
        TelemetryManager::shutdown();
        QVERIFY(!QFile::exists(cacheFile()));
    }

    void quittingDoesNotWaitLongForAServiceThatNeverAnswers()
    {
        LocalHttpResponder responder;
        responder.setDefaultReply(LocalHttpResponder::Reply::noAnswer());
        LogCapture log;
        TelemetryManager::initialize(configuration(responder.url(), log));
        QTRY_COMPARE(responder.requests().size(), 1);

        QElapsedTimer elapsed;
        elapsed.start();
        // The application's quit is what shuts the client down.
        QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit");
        QVERIFY(!TelemetryManager::isInitialized());
        QVERIFY2(elapsed.elapsed() < 2000, qPrintable(QString::number(elapsed.elapsed())));
        QCOMPARE(cacheFileContent().size(), 2);
    }

    void aClientWithoutAppIDOrAddressDoesNotStart()
    {
        LogCapture log;
        TelemetryManager::initialize(configuration(QUrl(QStringLiteral("ftp://x.test")), log));
        QVERIFY(!TelemetryManager::isInitialized());
        TelemetryManagerConfiguration noID =
            configuration(QUrl(QStringLiteral("https://x.test")), log);
        noID.telemetryAppID.clear();
        TelemetryManager::initialize(noID);
        QVERIFY(!TelemetryManager::isInitialized());
        QCOMPARE(log.linesContaining(QStringLiteral("Analytics not started")).size(), 2);
    }
};

SPRUCER_TEST_MAIN(TestTelemetryManager)
#include "TestTelemetryManager.moc"
