// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/StoredForms.h"
#include "core/telemetry/SessionManager.h"
#include "core/telemetry/TelemetryDefaultsStore.h"
#include "support/TestMain.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

TelemetryManagerConfiguration configuration()
{
    TelemetryManagerConfiguration config(QStringLiteral("app"), QString(),
                                         QUrl(QStringLiteral("https://x.test")));
    config.defaultsStoreFile = TestHome::current().path() + QStringLiteral("/telemetry.ini");
    return config;
}

QByteArray sessionsJson(const QList<std::pair<QDateTime, int>> &sessions)
{
    QJsonArray array;
    for (const auto &[start, duration] : sessions)
        array.append(QJsonObject{{QStringLiteral("st"), StoredForms::dateNumber(start)},
                                 {QStringLiteral("dn"), duration}});
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

} // namespace

class TestSessionManager : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(configuration().defaultsStoreFile); }

    void sessionsOlderThanNinetyDaysAreForgottenButCounted()
    {
        const QDateTime now = QDateTime::currentDateTime();
        {
            TelemetryDefaultsStore seed(configuration());
            seed.setValue(QStringLiteral("recentSessions"), sessionsJson({{now.addDays(-91), 10},
                                                                          {now.addDays(-10), 100},
                                                                          {now.addDays(-1), 300}}));
            seed.setValue(QStringLiteral("firstSessionDate"), QStringLiteral("2020-01-01"));
            seed.setValue(QStringLiteral("distinctDaysUsed"), QByteArray(R"(["2020-01-01"])"));
            seed.setValue(QStringLiteral("deletedSessionsCount"), 2);
        }
        TelemetryDefaultsStore store(configuration());
        SessionManager sessions(&store);
        QVERIFY(!sessions.startNewSession(QUuid::createUuid(), now));

        const QMap<QString, QString> parameters = sessions.parameters();
        QCOMPARE(parameters.value(QStringLiteral("deletedSessionsCount")), QStringLiteral("3"));
        QCOMPARE(parameters.value(QStringLiteral("TelemetryDeck.Retention.totalSessionsCount")),
                 QStringLiteral("6"));
        QCOMPARE(parameters.value(QStringLiteral("TelemetryDeck.Retention.previousSessionSeconds")),
                 QStringLiteral("300"));
        QCOMPARE(parameters.value(QStringLiteral("TelemetryDeck.Retention.averageSessionSeconds")),
                 QStringLiteral("200"));
        QCOMPARE(parameters.value(QStringLiteral("TelemetryDeck.Retention.distinctDaysUsed")),
                 QStringLiteral("2"));
        QCOMPARE(parameters.value(QStringLiteral("TelemetryDeck.Acquisition.firstSessionDate")),
                 QStringLiteral("2020-01-01"));

        QCOMPARE(store.value(QStringLiteral("deletedSessionsCount")).toInt(), 3);
        const QJsonArray kept =
            QJsonDocument::fromJson(store.value(QStringLiteral("recentSessions")).toByteArray())
                .array();
        QCOMPARE(kept.size(), 3);
    }
};

SPRUCER_TEST_MAIN(TestSessionManager)
#include "TestSessionManager.moc"
