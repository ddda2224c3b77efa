// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/SerialQueue.h"
#include "support/TestMain.h"

using namespace Qt::StringLiterals;

class TestSerialQueue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tasksRunInOrderOnTheQueueUntilItIsDestroyed()
    {
        QList<int> order;
        {
            SerialQueue queue(u"test"_s);
            for (int i = 0; i < 100; ++i)
                queue.post([&, i] { order.append(queue.isCurrent() ? i : -1); });
        } // destruction finishes every task posted
        QCOMPARE(order.size(), 100);
        QVERIFY(order.first() == 0 && std::is_sorted(order.cbegin(), order.cend()));
    }

    void syncWaitsAndNestsWithoutDeadlock()
    {
        SerialQueue queue(u"test"_s);
        int value = 0;
        queue.post([&] { value = 1; });
        queue.sync([&] { queue.sync([&] { value += 1; }); }); // nested: runs directly
        QCOMPARE(value, 2);
    }
};

SPRUCER_TEST_MAIN(TestSerialQueue)
#include "TestSerialQueue.moc"
