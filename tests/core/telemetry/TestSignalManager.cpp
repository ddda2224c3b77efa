// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/SignalManager.h"
#include "core/telemetry/TelemetryTestSupport.h"
#include "support/LocalHttpResponder.h"

#include <QSignalSpy>

namespace {

std::shared_ptr<SignalCache> cacheHolding(int count)
{
    auto cache = std::make_shared<SignalCache>(TelemetryLogger(), 10000);
    for (const SignalPostBody &body : sampleBodies(0, count))
        cache->push(body);
    return cache;
}

} // namespace

class TestSignalManager : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    void onlyA2xxAnswerDeliversTheBatch_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("delivered");
        QTest::newRow("200") << LocalHttpResponder::reply(200) << true;
        QTest::newRow("202, no body") << LocalHttpResponder::reply(202, {}) << true;
        QTest::newRow("401") << LocalHttpResponder::reply(401) << false;
        QTest::newRow("500") << LocalHttpResponder::reply(500) << false;
        // Followed, the redirect would turn into a GET and its 200 into a false delivery.
        QTest::newRow("302") << LocalHttpResponder::reply(302, "{}", "Location: /elsewhere\r\n")
                             << false;
        QTest::newRow("not HTTP") << "\x01\x02 not HTTP\r\n\r\n"_ba << false;
        QTest::newRow("no answer") << QByteArray() << false;
        // Past the cap the body is cut short; the status still counts.
        QTest::newRow("huge 200") << LocalHttpResponder::reply(200, QByteArray(4 << 20, 'x'))
                                  << true;
    }

    void onlyA2xxAnswerDeliversTheBatch()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, delivered);
        LocalHttpResponder responder;
        responder.answerWith(answer);
        LogCapture log;
        TelemetryManagerConfiguration config =
            testConfiguration(log, responder.url().resolved(QUrl(u"/ingest/"_s)));
        config.requestTimeout = std::chrono::milliseconds(300);
        config.maximumResponseBytes = 1024;
        SignalManager manager(config, cacheHolding(3));
        QSignalSpy finished(&manager, &SignalManager::batchFinished);
        manager.start();
        QVERIFY(finished.wait());
        QCOMPARE(finished.first(), (QVariantList{3, delivered}));
        QCOMPARE(manager.signalCache()->count(), delivered ? 0 : 3);
        QCOMPARE(log.lines().filter(u"[TelemetryDeck: error] Failed to send"_s).size(),
                 delivered ? 0 : 1);
        const LocalHttpResponder::Request request = responder.requests().last();
        QVERIFY2(request.head.startsWith("POST /ingest/v2/ ") &&
                     request.head.contains("\r\nContent-Type: application/json\r\n"),
                 request.head.constData());
        QCOMPARE(request.body, SignalPostBody::encodeList(sampleBodies(0, 3)));
    }

    void stoppingKeepsWhatIsOnTheWireInOrder()
    {
        LocalHttpResponder responder;
        responder.answerWith({});
        LogCapture log;
        TelemetryManagerConfiguration config = testConfiguration(log, responder.url());
        config.sendInterval = std::chrono::milliseconds(20);
        SignalManager manager(config, cacheHolding(250));
        manager.start();
        // A hundred at a time; the timer sends the rest.
        QTRY_COMPARE(responder.requests().size(), 3);
        bool stopped = false;
        manager.stop([&] { stopped = true; });
        QTRY_VERIFY(stopped);
        QCOMPARE(cacheFileContent(), sampleBodies(0, 250));
    }

    // The agent runs all day: with nothing to send the client must not wake every interval,
    // yet a signal, and a refused one above all, must still go out on the rhythm.
    void itTriesOnlyWhileThereIsSomethingToSend()
    {
        LocalHttpResponder responder;
        responder.answerWith(LocalHttpResponder::reply(503));
        LogCapture log;
        TelemetryManagerConfiguration config = testConfiguration(log, responder.url());
        config.sendInterval = std::chrono::milliseconds(30);
        config.showDebugLogs = true;
        const auto cache = cacheHolding(0);
        SignalManager manager(config, cache);
        QSignalSpy finished(&manager, &SignalManager::batchFinished);
        const auto attempts = [&] {
            return log.lines().filter(u"Current signal cache count"_s).size();
        };
        manager.start();
        QTest::qWait(200);
        QCOMPARE(attempts(), 1); // the one at start

        cache->push(sampleBodies(0, 1).first());
        manager.signalQueued();
        // Refused, then tried again; a slow test thread may see more tries than two.
        QTRY_VERIFY(responder.requests().size() >= 2);
        responder.answerWith(LocalHttpResponder::reply(200));
        QTRY_VERIFY(!finished.isEmpty() && finished.last() == (QVariantList{1, true}));
        const qsizetype settled = attempts();
        QTest::qWait(200);
        QCOMPARE(attempts(), settled);
        QCOMPARE(cache->count(), 0);
    }
};

SPRUCER_TEST_MAIN(TestSignalManager)
#include "TestSignalManager.moc"
