// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/StoredForms.h"
#include "core/telemetry/SignalProcessor.h"
#include "core/telemetry/TelemetryDefaultsStore.h"
#include "core/telemetry/TelemetryTestSupport.h"
#include "support/TestMain.h"

#include <QFile>

namespace {

const QString kAppID = QStringLiteral("6F1C2B9E-4D3A-4E7B-9A15-C08D2E7F3B41");

TelemetryManagerConfiguration configuration(LogCapture &log)
{
    TelemetryManagerConfiguration config(kAppID, QString(), QUrl(QStringLiteral("https://x.test")));
    config.defaultsStoreFile = TestHome::current().path() + QStringLiteral("/telemetry.ini");
    config.logHandler = log.handler();
    return config;
}

SignalPostBody processed(const TelemetryManagerConfiguration &config, const UsageSignal &signal)
{
    TelemetryDefaultsStore store(config);
    SignalProcessor processor(config, &store, nullptr);
    return processor.process(signal, QDateTime::currentDateTime()).value_or(SignalPostBody());
}

UsageSignal named(const QString &name, const QMap<QString, QString> &parameters = {})
{
    return UsageSignal{name, parameters, std::nullopt, std::nullopt};
}

} // namespace

class TestSignalProcessor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(TestHome::current().path() + QStringLiteral("/telemetry.ini")); }

    void clientUserIsTheHashOfTheFirstIdentifierThatIsSet()
    {
        LogCapture log;
        TelemetryManagerConfiguration config = configuration(log);
        // With nothing set, one random identifier is made, stored and used from then on.
        const QString made = processed(config, named(QStringLiteral("MonitorAdded"))).clientUser;
        const QString stored = TelemetryDefaultsStore(config)
                                   .value(QStringLiteral("defaultUserIdentifier"))
                                   .toString();
        QVERIFY(StoredForms::parseUuid(stored));
        QCOMPARE(made, SignalProcessor::hashedUser(stored, QString()));
        QCOMPARE(processed(config, named(QStringLiteral("MonitorRemoved"))).clientUser, made);

        config.defaultUser = QStringLiteral("ab");
        config.salt = QStringLiteral("c");
        // SHA-256("abc"), the standard test vector: the identifier, then the salt.
        const QString abc =
            QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
        QCOMPARE(processed(config, named(QStringLiteral("MonitorAdded"))).clientUser, abc);
        UsageSignal custom = named(QStringLiteral("MonitorAdded"));
        custom.customUserId = QStringLiteral("a");
        config.salt = QStringLiteral("bc");
        QCOMPARE(processed(config, custom).clientUser, abc);
    }

    void reservedNamesAreWarnedAboutAndStillSent_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("warnings");
        const QString prefix =
            QStringLiteral("Sending signal with reserved prefix 'TelemetryDeck.' "
                           "will cause unexpected behavior. Please use another "
                           "prefix instead.");
        const QString keyPrefix = QStringLiteral("Sending parameter with reserved key prefix "
                                                 "'TelemetryDeck.' will cause unexpected behavior. "
                                                 "Please use another prefix instead.");
        const auto name = [](const QString &n) -> QString {
            return QStringLiteral("Sending signal with reserved name '") + n +
                   QStringLiteral("' will cause unexpected behavior. Please use another name "
                                  "instead.");
        };
        const auto key = [](const QString &k) -> QString {
            return QStringLiteral("Sending parameter with reserved key '") + k +
                   QStringLiteral("' will cause unexpected behavior. Please use another key "
                                  "instead.");
        };
        QTest::newRow("ordinary") << QStringLiteral("MonitorAdded")
                                  << QStringList{QStringLiteral("kind")} << QStringList();
        QTest::newRow("prefix in any case")
            << QStringLiteral("tElEmEtRyDeCk.custom") << QStringList() << QStringList{prefix};
        QTest::newRow("reserved name") << QStringLiteral("AppVersion") << QStringList()
                                       << QStringList{name(QStringLiteral("AppVersion"))};
        QTest::newRow("reserved keys")
            << QStringLiteral("MonitorCount")
            << QStringList{QStringLiteral("Count"), QStringLiteral("telemetryDECK.x"),
                           QStringLiteral("REGION")}
            << QStringList{key(QStringLiteral("REGION")), keyPrefix};
    }

    void reservedNamesAreWarnedAboutAndStillSent()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, keys);
        QFETCH(QStringList, warnings);
        LogCapture log;
        TelemetryManagerConfiguration config = configuration(log);
        QMap<QString, QString> parameters;
        for (const QString &k : keys)
            parameters.insert(k, QStringLiteral("v"));

        const SignalPostBody body = processed(config, named(name, parameters));
        QCOMPARE(body.type, name);
        for (const QString &k : keys)
            QCOMPARE(body.payload.value(k), QStringLiteral("v"));
        QStringList expected;
        for (const QString &w : warnings)
            expected << QStringLiteral("[TelemetryDeck: warning] ") + w;
        QCOMPARE(log.lines(), expected);

        log.clear();
        config.reservedParameterWarningsEnabled = false;
        processed(config, named(name, parameters));
        QVERIFY(log.lines().isEmpty());
    }

    void prefixesApplyAndTheMoreParticularSourceWins()
    {
        LogCapture log;
        TelemetryManagerConfiguration config = configuration(log);
        config.defaultSignalPrefix = QStringLiteral("Sprucer.");
        config.defaultParameters = [] {
            return QMap<QString, QString>{{QStringLiteral("locale"), QStringLiteral("configured")},
                                          {QStringLiteral("shared"), QStringLiteral("configured")}};
        };
        config.metadataEnrichers = {[] {
            return QMap<QString, QString>{{QStringLiteral("shared"), QStringLiteral("enricher")},
                                          {QStringLiteral("p.kind"), QStringLiteral("enricher")}};
        }};
        config.defaultParameterPrefix = QStringLiteral("p.");
        config.testMode = true;

        const SignalPostBody body =
            processed(config, named(QStringLiteral("MonitorAdded"),
                                    {{QStringLiteral("kind"), QStringLiteral("cpp")}}));
        QCOMPARE(body.type, QStringLiteral("Sprucer.MonitorAdded"));
        QCOMPARE(body.payload.value(QStringLiteral("p.kind")), QStringLiteral("cpp"));
        QVERIFY(!body.payload.contains(QStringLiteral("kind")));
        QCOMPARE(body.payload.value(QStringLiteral("shared")), QStringLiteral("enricher"));
        QCOMPARE(body.payload.value(QStringLiteral("locale")), QStringLiteral("configured"));
        QCOMPARE(body.appID, kAppID);
        QCOMPARE(body.sessionID, config.sessionID);
        QVERIFY(body.isTestMode);
    }

    void everySignalCarriesTheDefaultParameters()
    {
        const QStringList keys =
            QStringLiteral(
                "platform systemVersion majorSystemVersion majorMinorSystemVersion appVersion "
                "buildNumber isSimulator isDebug isTestFlight isAppStore modelName architecture "
                "operatingSystem targetEnvironment locale appLanguage preferredLanguage "
                "telemetryClientVersion extensionIdentifier "
                "TelemetryDeck.Accessibility.isInvertColorsEnabled "
                "TelemetryDeck.Accessibility.isReduceMotionEnabled "
                "TelemetryDeck.AppInfo.buildNumber "
                "TelemetryDeck.AppInfo.version TelemetryDeck.AppInfo.versionAndBuildNumber "
                "TelemetryDeck.Calendar.dayOfMonth TelemetryDeck.Calendar.dayOfWeek "
                "TelemetryDeck.Calendar.dayOfYear TelemetryDeck.Calendar.hourOfDay "
                "TelemetryDeck.Calendar.isWeekend TelemetryDeck.Calendar.monthOfYear "
                "TelemetryDeck.Calendar.quarterOfYear TelemetryDeck.Calendar.weekOfYear "
                "TelemetryDeck.Device.architecture TelemetryDeck.Device.modelName "
                "TelemetryDeck.Device.operatingSystem TelemetryDeck.Device.orientation "
                "TelemetryDeck.Device.platform TelemetryDeck.Device.screenResolutionHeight "
                "TelemetryDeck.Device.screenResolutionWidth TelemetryDeck.Device.screenScaleFactor "
                "TelemetryDeck.Device.systemMajorMinorVersion "
                "TelemetryDeck.Device.systemMajorVersion "
                "TelemetryDeck.Device.systemVersion TelemetryDeck.Device.timeZone "
                "TelemetryDeck.RunContext.extensionIdentifier TelemetryDeck.RunContext.isAppStore "
                "TelemetryDeck.RunContext.isDebug TelemetryDeck.RunContext.isSimulator "
                "TelemetryDeck.RunContext.isTestFlight TelemetryDeck.RunContext.language "
                "TelemetryDeck.RunContext.locale TelemetryDeck.RunContext.targetEnvironment "
                "TelemetryDeck.SDK.name TelemetryDeck.SDK.nameAndVersion TelemetryDeck.SDK.version "
                "TelemetryDeck.UserPreference.colorScheme TelemetryDeck.UserPreference.language "
                "TelemetryDeck.UserPreference.layoutDirection TelemetryDeck.UserPreference.region")
                .split(u' ');
        QCoreApplication::setApplicationVersion(QStringLiteral("1.2.3"));
        LogCapture log;
        // A Wednesday in the third quarter, 15:00 local time.
        const QDateTime when(QDate(2025, 7, 16), QTime(15, 0));
        TelemetryDefaultsStore store(configuration(log));
        SignalProcessor processor(configuration(log), &store, nullptr);
        const QMap<QString, QString> payload =
            processor.process(named(QStringLiteral("MonitorCount")), when)->payload;

        for (const QString &key : keys)
            QVERIFY2(payload.contains(key), qPrintable(key));
        QCOMPARE(payload.value(QStringLiteral("appVersion")), QStringLiteral("1.2.3"));
        QCOMPARE(payload.value(QStringLiteral("telemetryClientVersion")), QStringLiteral("2.8.0"));
#ifdef Q_OS_LINUX
        QCOMPARE(payload.value(QStringLiteral("platform")), QStringLiteral("Linux"));
        QCOMPARE(payload.value(QStringLiteral("TelemetryDeck.Device.platform")),
                 QStringLiteral("Linux"));
#endif
        QCOMPARE(payload.value(QStringLiteral("TelemetryDeck.Calendar.dayOfWeek")),
                 QStringLiteral("3"));
        QCOMPARE(payload.value(QStringLiteral("TelemetryDeck.Calendar.hourOfDay")),
                 QStringLiteral("15"));
        QCOMPARE(payload.value(QStringLiteral("TelemetryDeck.Calendar.quarterOfYear")),
                 QStringLiteral("3"));
        QCOMPARE(payload.value(QStringLiteral("TelemetryDeck.Calendar.weekOfYear")),
                 QStringLiteral("29"));
        QCOMPARE(payload.value(QStringLiteral("locale")), QLocale::system().name());
    }
};

SPRUCER_TEST_MAIN(TestSignalProcessor)
#include "TestSignalProcessor.moc"
