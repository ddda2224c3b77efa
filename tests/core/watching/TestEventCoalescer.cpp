// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/EventCoalescer.h"
#include "support/TestMain.h"

using namespace Qt::StringLiterals;

using namespace std::chrono_literals;
using Paths = QList<QStringList>;

namespace {

// A timer the test runs out by hand, and a record of the deliveries.
struct Harness
{
    int starts = 0;
    bool running = false;
    Paths deliveries;
    std::function<void()> onDeliver;
    EventCoalescer coalescer{250ms,
                             {[this](std::chrono::milliseconds after) {
                                  starts += after == 250ms ? 1 : 1000;
                                  running = true;
                              },
                              [this] {
                                  running = false;
                              }},
                             [this](const QStringList &paths) {
                                 deliveries.append(paths);
                                 if (onDeliver)
                                     onDeliver();
                             }};

    void elapse()
    {
        QVERIFY(running);
        running = false;
        coalescer.fire();
    }
};

const QString a = u"/t/a.cpp"_s, b = u"/t/b.cpp"_s, c = u"/t/c.cpp"_s;

} // namespace

class TestEventCoalescer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Later events neither re-arm nor push back the delivery.
    void oneDeliveryPerQuietPeriodEachPathOnceInFirstOrder()
    {
        Harness h;
        h.coalescer.add(b);
        h.coalescer.add({a, b});
        h.coalescer.add(c);
        h.coalescer.add(a);
        QCOMPARE(h.starts, 1);
        QVERIFY(h.deliveries.isEmpty());
        h.elapse();
        QCOMPARE(h.deliveries, (Paths{{b, a, c}}));
        QVERIFY(!h.coalescer.isArmed() && h.coalescer.pendingCount() == 0);
    }

    // Including a burst that arrives while the first delivery is being handed on; a cancel
    // drops what was gathered, and a tick already on its way delivers nothing.
    void eachLaterBurstIsADeliveryOfItsOwn()
    {
        Harness h;
        h.onDeliver = [&] {
            if (h.deliveries.size() == 1)
                h.coalescer.add(a);
        };
        h.coalescer.add(a);
        h.elapse();
        h.coalescer.add({a, c});
        h.elapse();
        h.coalescer.add(b);
        h.coalescer.cancel();
        QVERIFY(!h.running && h.coalescer.pendingCount() == 0);
        h.coalescer.fire();
        QCOMPARE(h.deliveries, (Paths{{a}, {a, c}}));
        QCOMPARE(h.starts, 3);
    }
};

SPRUCER_TEST_MAIN(TestEventCoalescer)
#include "TestEventCoalescer.moc"
