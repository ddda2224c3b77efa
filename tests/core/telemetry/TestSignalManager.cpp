// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/SignalManager.h"
#include "core/telemetry/TelemetryTestSupport.h"
#include "support/LocalHttpResponder.h"
#include "support/TestMain.h"

#include <QSignalSpy>

using Reply = LocalHttpResponder::Reply;
Q_DECLARE_METATYPE(LocalHttpResponder::Reply)

namespace {

QString cacheFile()
{
    return TestHome::current().cacheDirectory() + QStringLiteral("/Sprucer/telemetrysignalcache");
}

// A manager that sends only when told to, so each request is one the test asked for.
struct Client
{
    explicit Client(const QUrl &baseURL)
        : configuration(QStringLiteral("app"), QString(), baseURL)
    {
        configuration.sendInterval = std::chrono::hours(1);
        configuration.requestTimeout = std::chrono::milliseconds(300);
        configuration.cacheFile = cacheFile();
        configuration.logHandler = log.handler();
        cache = std::make_shared<SignalCache>(configuration.logger(), 10000);
    }

    SignalManager &manager()
    {
        if (!m_manager)
            m_manager = std::make_unique<SignalManager>(configuration, cache);
        return *m_manager;
    }

    void fill(int count)
    {
        for (const SignalPostBody &body : sampleBodies(0, count))
            cache->push(body);
    }

    LogCapture log;
    TelemetryManagerConfiguration configuration;
    std::shared_ptr<SignalCache> cache;

private:
    std::unique_ptr<SignalManager> m_manager;
};

int signalsIn(const LocalHttpResponder::Request &request)
{
    return static_cast<int>(
        SignalPostBody::decodeList(request.body).value_or(QList<SignalPostBody>()).size());
}

} // namespace

class TestSignalManager : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    void theAnswerDecidesWhetherTheBatchIsKept_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<bool>("delivered");
        QTest::addColumn<QString>("logged");
        QTest::newRow("200") << Reply::withStatus(200) << true << QString();
        QTest::newRow("202, no body") << Reply::withStatus(202, {}) << true << QString();
        QTest::newRow("401") << Reply::withStatus(401) << false
                             << QStringLiteral("Unauthorized (401)");
        QTest::newRow("403") << Reply::withStatus(403) << false
                             << QStringLiteral("Forbidden (403)");
        QTest::newRow("413") << Reply::withStatus(413) << false
                             << QStringLiteral("Payload is too large (413)");
        QTest::newRow("500") << Reply::withStatus(500) << false
                             << QStringLiteral("Invalid status code 500");
        // Followed, the redirect would turn into a GET and its 200 into a false delivery.
        QTest::newRow("302") << Reply::withStatus(302, "{}", "Location: /elsewhere\r\n") << false
                             << QStringLiteral("Invalid status code 302");
        QTest::newRow("garbage") << Reply::garbage() << false << QString();
        QTest::newRow("no answer") << Reply::noAnswer() << false << QString();
        // Past the cap the body is cut short; the status still counts.
        QTest::newRow("huge 200") << Reply::withStatus(200, QByteArray(4 << 20, 'x')) << true
                                  << QString();
        QTest::newRow("huge 500") << Reply::withStatus(500, QByteArray(4 << 20, 'x')) << false
                                  << QStringLiteral("Invalid status code 500");
    }

    void theAnswerDecidesWhetherTheBatchIsKept()
    {
        QFETCH(Reply, reply);
        QFETCH(bool, delivered);
        QFETCH(QString, logged);
        LocalHttpResponder responder;
        // Every answer alike: Qt sends a request again once when the connection just closes.
        responder.setDefaultReply(reply);
        Client client(responder.url());
        client.configuration.maximumResponseBytes = 1024;
        client.fill(3);
        QSignalSpy finished(&client.manager(), &SignalManager::batchFinished);

        client.manager().start();
        QVERIFY(finished.wait());
        QCOMPARE(finished.first(), (QVariantList{3, delivered}));
        QVERIFY(!responder.requests().isEmpty());
        QCOMPARE(responder.requests().last().body, SignalPostBody::encodeList(sampleBodies(0, 3)));
        if (delivered) {
            QCOMPARE(client.cache->count(), 0);
            QVERIFY(client.log.lines().isEmpty());
        } else {
            QCOMPARE(client.cache->snapshot(), sampleBodies(0, 3));
            const QStringList lines = client.log.lines();
            QCOMPARE(lines.size(), 1);
            QVERIFY(lines[0].startsWith(
                QStringLiteral("[TelemetryDeck: error] Failed to send signals: ")));
            QVERIFY2(lines[0].endsWith(logged), qPrintable(lines[0]));
        }
    }

    void cachedSignalsGoOutAtMostAHundredPerAttempt()
    {
        LocalHttpResponder responder;
        Client client(responder.url().resolved(QUrl(QStringLiteral("/ingest/"))));
        client.fill(250);
        QSignalSpy finished(&client.manager(), &SignalManager::batchFinished);

        client.manager().start();
        QTRY_COMPARE(finished.size(), 1);
        client.manager().attemptToSendNextBatch();
        QTRY_COMPARE(finished.size(), 2);
        client.manager().attemptToSendNextBatch();
        QTRY_COMPARE(finished.size(), 3);
        client.manager().attemptToSendNextBatch(); // nothing left: no request
        QCOMPARE(client.manager().requestsInFlight(), 0);

        QCOMPARE(responder.requests().size(), 3);
        QList<SignalPostBody> received;
        for (const auto &request : responder.requests())
            received += SignalPostBody::decodeList(request.body).value_or(QList<SignalPostBody>());
        QCOMPARE(signalsIn(responder.requests()[0]), 100);
        QCOMPARE(signalsIn(responder.requests()[1]), 100);
        QCOMPARE(signalsIn(responder.requests()[2]), 50);
        QCOMPARE(received, sampleBodies(0, 250));
        QCOMPARE(client.cache->count(), 0);

        const auto &request = responder.requests().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QByteArray("/ingest/v2/"));
        QCOMPARE(request.headers.value("content-type"), QByteArray("application/json"));
    }

    void theTimerKeepsAttempting()
    {
        LocalHttpResponder responder;
        Client client(responder.url());
        client.configuration.sendInterval = std::chrono::milliseconds(20);
        client.fill(201);
        client.manager().start();
        QTRY_COMPARE(responder.requests().size(), 3);
        QTRY_COMPARE(client.cache->count(), 0);
    }

    void aRefusedBatchComesBackWholeAndIsRetriedUnchanged()
    {
        LocalHttpResponder responder;
        responder.enqueue(Reply::withStatus(413));
        Client client(responder.url());
        client.fill(5);
        QSignalSpy finished(&client.manager(), &SignalManager::batchFinished);

        client.manager().start();
        QVERIFY(finished.wait());
        QCOMPARE(client.cache->snapshot(), sampleBodies(0, 5));
        client.manager().attemptToSendNextBatch();
        QVERIFY(finished.wait());
        QCOMPARE(finished.last(), (QVariantList{5, true}));
        QCOMPARE(responder.requests().size(), 2);
        QCOMPARE(responder.requests()[1].body, responder.requests()[0].body);
    }
};

SPRUCER_TEST_MAIN(TestSignalManager)
#include "TestSignalManager.moc"
