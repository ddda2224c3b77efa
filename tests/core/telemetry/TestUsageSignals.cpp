// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/UsageSignals.h"
#include "support/TestMain.h"

#include <QMutex>
#include <QThread>

class TestUsageSignals : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { UsageSignals::setSink({}); }

    void signalsReachTheSinkWholeAndInOrder()
    {
        QList<UsageSignal> received;
        UsageSignals::setSink([&](const UsageSignal &s) { received.append(s); });
        UsageSignals::signal(QStringLiteral("MonitorCount"),
                             {{QStringLiteral("Count"), QStringLiteral("1")}});
        UsageSignals::signal(QStringLiteral("MonitorAdded"),
                             {{QStringLiteral("kind"), QStringLiteral("cpp")}}, 2.5,
                             QStringLiteral("user"));
        QCOMPARE(received.size(), 2);
        QCOMPARE(received[0].name, QStringLiteral("MonitorCount"));
        QCOMPARE(received[0].parameters.value(QStringLiteral("Count")), QStringLiteral("1"));
        QVERIFY(!received[0].floatValue && !received[0].customUserId);
        QCOMPARE(received[1].floatValue, 2.5);
        QCOMPARE(received[1].customUserId, QStringLiteral("user"));
    }

    void withoutSinkNothingIsDeliveredLater()
    {
        UsageSignals::signal(QStringLiteral("MonitorRemoved"));
        int delivered = 0;
        UsageSignals::setSink([&](const UsageSignal &) { ++delivered; });
        QCOMPARE(delivered, 0);
    }

    void replacingTheSinkWhileOtherThreadsSendIsSafe()
    {
        QMutex mutex;
        int delivered = 0;
        const auto counting = [&](const UsageSignal &) {
            QMutexLocker lock(&mutex);
            ++delivered;
        };
        UsageSignals::setSink(counting);
        std::unique_ptr<QThread> sender(QThread::create([] {
            for (int i = 0; i < 2000; ++i)
                UsageSignals::signal(QStringLiteral("MonitorCount"));
        }));
        sender->start();
        for (int i = 0; i < 200; ++i)
            UsageSignals::setSink(i % 2 ? UsageSignals::Sink() : UsageSignals::Sink(counting));
        UsageSignals::setSink(counting);
        QVERIFY(sender->wait(10000));
        QMutexLocker lock(&mutex);
        QVERIFY(delivered > 0 && delivered <= 2000);
    }
};

SPRUCER_TEST_MAIN(TestUsageSignals)
#include "TestUsageSignals.moc"
