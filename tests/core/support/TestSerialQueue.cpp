// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/SerialQueue.h"
#include "support/TestMain.h"

#include <QTimer>

#include <atomic>

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

    void syncWaitsNestsAndSharesTheThreadWithTimers()
    {
        SerialQueue queue(u"test"_s);
        int value = 0;
        queue.post([&] { value = 1; });
        queue.sync([&] { queue.sync([&] { value += 1; }); }); // nested: runs directly
        QCOMPARE(value, 2);
        std::atomic<int> fired{0}; // 1 on the queue, 2 anywhere else
        queue.post([&] {
            QTimer::singleShot(10, queue.context(), [&] { fired = queue.isCurrent() ? 1 : 2; });
        });
        QTRY_COMPARE(fired.load(), 1);
    }
};

SPRUCER_TEST_MAIN(TestSerialQueue)
#include "TestSerialQueue.moc"
