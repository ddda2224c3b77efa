// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/StoredForms.h"
#include "core/telemetry/SessionManager.h"
#include "core/telemetry/SignalProcessor.h"
#include "core/telemetry/TelemetryDefaultsStore.h"
#include "core/telemetry/TelemetryTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// A Wednesday, local time.
const QDateTime kNow(QDate(2025, 7, 16), QTime(15, 0));

// The processor, and the session history whose parameters it adds.
class TestSignalProcessor : public QObject
{
    Q_OBJECT

    LogCapture m_log;
    TelemetryManagerConfiguration m_config{kAppID};

    SignalPostBody processed(const QString &name, const QMap<QString, QString> &parameters = {},
                             const std::optional<QString> &user = std::nullopt)
    {
        return *SignalProcessor(m_config, nullptr, nullptr)
                    .process(UsageSignal{name, parameters, std::nullopt, user}, kNow);
    }

private Q_SLOTS:
    void init()
    {
        TestHome::current().reset();
        m_log = {};
        m_config = testConfiguration(m_log);
    }

    void clientUserIsTheSaltedHashOfTheFirstIdentifierSet()
    {
        // SHA-256("abc"), the standard test vector: the identifier comes before the salt.
        const QString abc = u"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"_s;
        m_config.defaultUser = u"ab"_s;
        m_config.salt = u"c"_s;
        QCOMPARE(processed(u"A"_s).clientUser, abc);
        m_config.salt = u"bc"_s;
        QCOMPARE(processed(u"A"_s, {}, u"a"_s).clientUser, abc);
    }

    void reservedNamesAreWarnedAboutAndStillSent_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<int>("warnings");
        QTest::newRow("ordinary") << u"MonitorAdded"_s << QStringList{u"kind"_s} << 0;
        QTest::newRow("prefix") << u"tElEmEtRyDeCk.x"_s << QStringList() << 1;
        QTest::newRow("name") << u"AppVersion"_s << QStringList() << 1;
        QTest::newRow("keys") << u"Count"_s
                              << QStringList{u"kind"_s, u"telemetryDECK.x"_s, u"REGION"_s} << 2;
    }

    void reservedNamesAreWarnedAboutAndStillSent()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, keys);
        QFETCH(int, warnings);
        QMap<QString, QString> parameters;
        for (const QString &key : keys)
            parameters.insert(key, key);
        const SignalPostBody body = processed(name, parameters);
        QCOMPARE(body.type, name);
        for (const QString &key : keys)
            QCOMPARE(body.payload.value(key), key);
        QCOMPARE(m_log.lines().filter(u"[TelemetryDeck: warning] Sending "_s).size(), warnings);
        m_config.reservedParameterWarningsEnabled = false;
        processed(name, parameters);
        QCOMPARE(m_log.lines().size(), warnings);
    }

    void theMoreParticularSourceWins()
    {
        m_config.defaultSignalPrefix = u"Sprucer."_s;
        m_config.defaultParameterPrefix = u"p."_s;
        m_config.defaultParameters = [] {
            return QMap<QString, QString>{{u"locale"_s, u"configured"_s},
                                          {u"shared"_s, u"configured"_s}};
        };
        m_config.metadataEnrichers = {[] {
            return QMap<QString, QString>{{u"shared"_s, u"enricher"_s},
                                          {u"p.kind"_s, u"enricher"_s}};
        }};
        const SignalPostBody body = processed(u"MonitorAdded"_s, {{u"kind"_s, u"cpp"_s}});
        QCOMPARE(body.type, u"Sprucer.MonitorAdded"_s);
        QCOMPARE(body.payload.value(u"p.kind"_s), u"cpp"_s);
        QVERIFY(!body.payload.contains(u"kind"_s));
        QCOMPARE(body.payload.value(u"shared"_s), u"enricher"_s);
        QCOMPARE(body.payload.value(u"locale"_s), u"configured"_s);
        QCOMPARE(body.payload.value(u"TelemetryDeck.Calendar.dayOfWeek"_s), u"3"_s);
        QCOMPARE(body.payload.value(u"TelemetryDeck.Calendar.quarterOfYear"_s), u"3"_s);
    }

    void sessionsOlderThanNinetyDaysAreCountedOnly()
    {
        QJsonArray history;
        for (const auto &[daysAgo, seconds] : {std::pair{91, 10}, {10, 100}, {1, 300}})
            history.append(QJsonObject{{u"st"_s, StoredForms::dateNumber(kNow.addDays(-daysAgo))},
                                       {u"dn"_s, seconds}});
        TelemetryDefaultsStore store(m_config);
        store.setValue(u"recentSessions"_s, QJsonDocument(history).toJson());
        store.setValue(u"firstSessionDate"_s, u"2020-01-01"_s);
        store.setValue(u"distinctDaysUsed"_s, R"(["2020-01-01"])"_ba);
        store.setValue(u"deletedSessionsCount"_s, 2);
        SessionManager sessions(&store);
        const QUuid id = QUuid::createUuid();
        QVERIFY(!sessions.startNewSession(id, kNow)); // not a new install

        const SignalPostBody body =
            *SignalProcessor(m_config, &store, &sessions)
                 .process(UsageSignal{u"A"_s, {}, std::nullopt, std::nullopt}, kNow);
        QCOMPARE(body.sessionID, id);
        // Averages leave out the session still running.
        const QMap<QString, QString> expected{
            {u"deletedSessionsCount"_s, u"3"_s},
            {u"TelemetryDeck.Acquisition.firstSessionDate"_s, u"2020-01-01"_s},
            {u"TelemetryDeck.Retention.averageSessionSeconds"_s, u"200"_s},
            {u"TelemetryDeck.Retention.distinctDaysUsed"_s, u"2"_s},
            {u"TelemetryDeck.Retention.previousSessionSeconds"_s, u"300"_s},
            {u"TelemetryDeck.Retention.totalSessionsCount"_s, u"6"_s}};
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(body.payload.value(it.key()), it.value());
    }
};

SPRUCER_TEST_MAIN(TestSignalProcessor)
#include "TestSignalProcessor.moc"
