// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/EventCoalescer.h"
#include "support/TestMain.h"

using namespace std::chrono_literals;

namespace {

// A hand-driven timer and a record of the deliveries: the test decides when time runs out.
struct Harness
{
    QList<std::chrono::milliseconds> starts;
    int stops = 0;
    bool running = false;
    QList<QStringList> deliveries;
    std::function<void(const QStringList &)> onDeliver;
    EventCoalescer coalescer{250ms,
                             {[this](std::chrono::milliseconds after) {
                                  starts.append(after);
                                  running = true;
                              },
                              [this] {
                                  ++stops;
                                  running = false;
                              }},
                             [this](const QStringList &paths) {
                                 deliveries.append(paths);
                                 if (onDeliver)
                                     onDeliver(paths);
                             }};

    // What a real timer does when the latency runs out.
    void elapse()
    {
        QVERIFY(running);
        running = false;
        coalescer.fire();
    }
};

} // namespace

class TestEventCoalescer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void oneDeliveryPerQuietPeriodEachPathOnceInFirstOrder()
    {
        Harness h;
        h.coalescer.add(QStringLiteral("/t/b.cpp"));
        QCOMPARE(h.starts, (QList<std::chrono::milliseconds>{250ms}));
        h.coalescer.add({QStringLiteral("/t/a.cpp"), QStringLiteral("/t/b.cpp")});
        h.coalescer.add(QStringLiteral("/t/c.cpp"));
        h.coalescer.add(QStringLiteral("/t/a.cpp"));
        // Later events neither re-arm nor push back the delivery.
        QCOMPARE(h.starts.size(), 1);
        QVERIFY(h.deliveries.isEmpty());
        QCOMPARE(h.coalescer.pendingCount(), 3);

        h.elapse();
        QCOMPARE(h.deliveries,
                 (QList<QStringList>{{QStringLiteral("/t/b.cpp"), QStringLiteral("/t/a.cpp"),
                                      QStringLiteral("/t/c.cpp")}}));
        QVERIFY(!h.coalescer.isArmed());
        QCOMPARE(h.coalescer.pendingCount(), 0);
    }

    // Including a burst that arrives while the first delivery is being handed on.
    void eachLaterBurstIsADeliveryOfItsOwn()
    {
        Harness h;
        h.onDeliver = [&](const QStringList &) {
            if (h.deliveries.size() == 1)
                h.coalescer.add(QStringLiteral("/t/a.cpp"));
        };
        h.coalescer.add(QStringLiteral("/t/a.cpp"));
        h.elapse();
        QVERIFY(h.coalescer.isArmed());
        h.coalescer.add({QStringLiteral("/t/a.cpp"), QStringLiteral("/t/d.cpp")});
        QCOMPARE(h.starts.size(), 2);
        h.elapse();
        QCOMPARE(h.deliveries,
                 (QList<QStringList>{{QStringLiteral("/t/a.cpp")},
                                     {QStringLiteral("/t/a.cpp"), QStringLiteral("/t/d.cpp")}}));
        h.coalescer.add(QStringList{});
        QVERIFY(!h.coalescer.isArmed());
    }

    void cancelDropsTheGatheredPathsAndALateTickDeliversNothing()
    {
        Harness h;
        h.coalescer.add(QStringLiteral("/t/a.cpp"));
        h.coalescer.cancel();
        QCOMPARE(h.stops, 1);
        QVERIFY(!h.running);
        QCOMPARE(h.coalescer.pendingCount(), 0);
        h.coalescer.fire(); // the tick already on its way when the timer was stopped
        QVERIFY(h.deliveries.isEmpty());

        h.coalescer.add(QStringLiteral("/t/b.cpp"));
        QCOMPARE(h.starts.size(), 2);
        h.elapse();
        QCOMPARE(h.deliveries, (QList<QStringList>{{QStringLiteral("/t/b.cpp")}}));
    }
};

SPRUCER_TEST_MAIN(TestEventCoalescer)
#include "TestEventCoalescer.moc"
