// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/SignalCache.h"
#include "core/telemetry/TelemetryTestSupport.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

#include <limits>

// The cache, and the JSON form it keeps in its file, which is also the form sent.
class TestSignalCache : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    void popsTheOldestHundredAndTakesBatchesBackInFront()
    {
        SignalCache cache(TelemetryLogger(), 10000);
        for (const SignalPostBody &body : sampleBodies(0, 250))
            cache.push(body);
        const QList<SignalPostBody> first = cache.pop();
        QCOMPARE(first, sampleBodies(0, 100));
        QCOMPARE(cache.pop(), sampleBodies(100, 100));
        cache.putBack(first);
        QCOMPARE(cache.snapshot(), first + sampleBodies(200, 50));
    }

    void pastTheLimitTheOldestGoWithOneLinePerEpisode()
    {
        LogCapture log;
        SignalCache cache(TelemetryLogger(log.handler(), false), 10);
        for (const SignalPostBody &body : sampleBodies(0, 15))
            cache.push(body);
        cache.putBack(sampleBodies(100, 3)); // a failed batch is older than anything cached
        QCOMPARE(cache.snapshot(), sampleBodies(5, 10));
        cache.pop();
        for (const SignalPostBody &body : sampleBodies(20, 11))
            cache.push(body);
        QCOMPARE(log.lines().filter(u"[TelemetryDeck: error] Signal cache is full"_s).size(), 2);
    }

    void theFileCarriesSignalsToTheNextLaunch_data()
    {
        QTest::addColumn<QByteArray>("leftThere"); // by another instance; null: no file
        QTest::addColumn<int>("ours");
        QTest::addColumn<QList<SignalPostBody>>("saved");
        const QByteArray two = SignalPostBody::encodeList(sampleBodies(0, 2));
        QTest::newRow("no file") << QByteArray() << 3 << sampleBodies(100, 3);
        QTest::newRow("after another's") << two << 2 << sampleBodies(0, 2) + sampleBodies(100, 2);
        QTest::newRow("limit") << two << 4 << sampleBodies(1, 1) + sampleBodies(100, 4);
        QTest::newRow("nothing to add") << two << 0 << sampleBodies(0, 2);
        // Deleted all the same, or it would be read again at every launch.
        QTest::newRow("unreadable") << "\0garbage["_ba << 0 << QList<SignalPostBody>();
    }

    void theFileCarriesSignalsToTheNextLaunch()
    {
        QFETCH(QByteArray, leftThere);
        QFETCH(int, ours);
        QFETCH(QList<SignalPostBody>, saved);
        QDir().mkpath(QFileInfo(cacheFile()).absolutePath());
        QFile file(cacheFile());
        QVERIFY(leftThere.isNull() || (file.open(QIODevice::WriteOnly) && file.write(leftThere)));
        file.close();

        SignalCache cache(TelemetryLogger(), 5);
        for (const SignalPostBody &body : sampleBodies(100, ours))
            cache.push(body);
        QVERIFY(cache.saveToFile(cacheFile()));
        SignalCache next(TelemetryLogger(), 10000);
        next.push(sampleBodies(999, 1).first());
        next.loadFromFile(cacheFile());
        QCOMPARE(next.snapshot(), saved + sampleBodies(999, 1));
        QVERIFY(!QFile::exists(cacheFile()));
    }

    void aBodyHasTheServicesKeysInOrder()
    {
        SignalPostBody body = sampleBodies(0, 1).first();
        body.floatValue = 2.5;
        body.payload = {{u"kind"_s, u"cpp"_s}, {u"a/b"_s, u"x\"y"_s}};
        QCOMPARE(body.toJson(),
                 "{\"receivedAt\":\"2025-01-31T14:05:09-0930\",\"appID\":\"" + kAppID.toLatin1() +
                     "\",\"clientUser\":\"ab12\",\"sessionID\":\"0E6A7D3C-1B2F-4A5E-8C9D-"
                     "0F1E2D3C4B5A\",\"type\":\"Signal0\",\"floatValue\":2.5,\"payload\":{\"a/b\":"
                     "\"x\\\"y\",\"kind\":\"cpp\"},\"isTestMode\":\"true\"}");
        // JSON has no NaN: a null in its place would make the service refuse the whole batch.
        body.floatValue = std::numeric_limits<double>::quiet_NaN();
        QVERIFY(
            QJsonDocument::fromJson(body.toJson()).object().value(u"floatValue"_s).isUndefined());
    }

    void decodingSkipsOnlyMalformedBodies()
    {
        const QByteArray good = sampleBodies(3, 1).first().toJson();
        QByteArrayList items{good, "5", "{}"};
        for (const auto &[from, to] : {std::pair{"\"true\"}"_ba, "true}"_ba},
                                       {"\"3\"}"_ba, "3}"_ba},
                                       {"0E6A7D3C-"_ba, "nope-"_ba},
                                       {"+0100"_ba, "Z"_ba}})
            items << QByteArray(good).replace(from, to);
        QCOMPARE(SignalPostBody::decodeList('[' + items.join(',') + ']'), sampleBodies(3, 1));
    }
};

SPRUCER_TEST_MAIN(TestSignalCache)
#include "TestSignalCache.moc"
