// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/SignalPostBody.h"
#include "core/telemetry/TelemetryTestSupport.h"
#include "support/TestMain.h"

#include <QJsonDocument>

#include <limits>

class TestSignalPostBody : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void receivedAtKeepsItsOffsetAndReadsBack()
    {
        const QDateTime east(QDate(2025, 1, 31), QTime(14, 5, 9), QTimeZone(3600));
        const QDateTime west(QDate(2024, 12, 1), QTime(0, 0, 1), QTimeZone(-(9 * 3600 + 1800)));
        QCOMPARE(SignalPostBody::receivedAtText(east), QStringLiteral("2025-01-31T14:05:09+0100"));
        QCOMPARE(SignalPostBody::receivedAtText(west), QStringLiteral("2024-12-01T00:00:01-0930"));
        QCOMPARE(SignalPostBody::parseReceivedAt(QStringLiteral("2025-01-31T14:05:09+0100")), east);
        QCOMPARE(SignalPostBody::parseReceivedAt(QStringLiteral("2024-12-01T00:00:01-0930")), west);

        for (const char *bad :
             {"2025-01-31T14:05:09Z", "2025-01-31 14:05:09+0100", "2025-13-31T14:05:09+0100",
              "2025-01-31T14:05:09+01:00", "2025-01-31T14:05:09+2500", ""})
            QVERIFY2(!SignalPostBody::parseReceivedAt(QString::fromLatin1(bad)), bad);
    }

    void bodyHasExactlyTheWireKeysInOrder()
    {
        SignalPostBody body = sampleBody(1);
        body.type = QStringLiteral("MonitorAdded");
        body.floatValue = 2.5;
        body.payload = {{QStringLiteral("kind"), QStringLiteral("cpp")},
                        {QStringLiteral("a/b"), QStringLiteral("x\"y")}};
        body.isTestMode = true;
        QCOMPARE(body.toJson(),
                 QByteArray(
                     "{\"receivedAt\":\"2025-01-31T14:05:09+0100\","
                     "\"appID\":\"6F1C2B9E-4D3A-4E7B-9A15-C08D2E7F3B41\",\"clientUser\":\"ab12\","
                     "\"sessionID\":\"0E6A7D3C-1B2F-4A5E-8C9D-0F1E2D3C4B5A\","
                     "\"type\":\"MonitorAdded\",\"floatValue\":2.5,"
                     "\"payload\":{\"a/b\":\"x\\\"y\",\"kind\":\"cpp\"},\"isTestMode\":\"true\"}"));

        // An absent value has no key at all; NaN has no JSON form and would spoil the batch.
        for (const std::optional<double> value :
             {std::optional<double>(), std::optional(std::numeric_limits<double>::quiet_NaN())}) {
            body.floatValue = value;
            const QByteArray json = body.toJson();
            QVERIFY(!json.contains("floatValue"));
            QVERIFY(QJsonDocument::fromJson(json).isObject());
        }
    }

    void listRoundTripsAndSkipsWhatDoesNotDecode()
    {
        QList<SignalPostBody> bodies = sampleBodies(0, 3);
        bodies[1].floatValue = -0.125;
        bodies[2].isTestMode = true;
        QCOMPARE(SignalPostBody::decodeList(SignalPostBody::encodeList(bodies)), bodies);

        const QByteArray good = sampleBody(7).toJson();
        QByteArray badFlag = good;
        badFlag.replace("\"isTestMode\":\"false\"", "\"isTestMode\":false");
        QByteArray badPayload = good;
        badPayload.replace("{\"index\":\"7\"}", "{\"index\":7}");
        QByteArray badSession = good;
        badSession.replace("0E6A7D3C-", "not-a-uuid-");
        const QByteArray mixed =
            '[' + good + ",5,{}," + badFlag + ',' + badPayload + ',' + badSession + ']';
        QCOMPARE(SignalPostBody::decodeList(mixed), QList<SignalPostBody>{sampleBody(7)});

        QVERIFY(!SignalPostBody::decodeList(good));
        QVERIFY(!SignalPostBody::decodeList("[{\"receivedAt\":"));
    }
};

SPRUCER_TEST_MAIN(TestSignalPostBody)
#include "TestSignalPostBody.moc"
