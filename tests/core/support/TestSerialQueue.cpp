// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/SerialQueue.h"
#include "support/TestMain.h"

#include <QMutex>
#include <QTimer>

#include <atomic>

class TestSerialQueue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tasksRunOneAtATimeInOrderOffTheCaller()
    {
        QList<int> order;
        std::atomic<int> running{0};
        std::atomic<bool> overlapped{false};
        std::atomic<bool> onCaller{false};
        {
            SerialQueue queue(QStringLiteral("test"));
            for (int i = 0; i < 100; ++i) {
                queue.post([&, i] {
                    if (++running > 1)
                        overlapped = true;
                    if (QThread::currentThread() == qApp->thread())
                        onCaller = true;
                    order.append(i);
                    --running;
                });
            }
        } // destruction finishes every task posted
        QCOMPARE(order.size(), 100);
        QVERIFY(std::is_sorted(order.cbegin(), order.cend()));
        QVERIFY(!overlapped);
        QVERIFY(!onCaller);
    }

    void syncWaitsAndNestsWithoutDeadlock()
    {
        SerialQueue queue(QStringLiteral("test"));
        int value = 0;
        queue.post([&] { value = 1; });
        queue.sync([&] {
            QVERIFY(queue.isCurrent());
            queue.sync([&] { value += 1; }); // already on the queue: runs directly
        });
        QCOMPARE(value, 2);
    }

    void timersRunOnTheQueuesThread()
    {
        SerialQueue queue(QStringLiteral("test"));
        std::atomic<bool> fired{false};
        std::atomic<bool> onQueue{false};
        queue.post([&] {
            QTimer::singleShot(10, queue.context(), [&] {
                onQueue = queue.isCurrent();
                fired = true;
            });
        });
        QTRY_VERIFY(fired);
        QVERIFY(onQueue);
    }
};

SPRUCER_TEST_MAIN(TestSerialQueue)
#include "TestSerialQueue.moc"
