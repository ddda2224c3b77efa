// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/SerialQueue.h"

#include <QMetaObject>

SerialQueue::SerialQueue(const QString &label)
    : m_label(label)
    , m_context(std::make_unique<QObject>())
{
    m_thread.setObjectName(label);
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

SerialQueue::~SerialQueue()
{
    // Queued behind every task already posted, so none is lost. The context and the timers and
    // notifiers parented to it are deleted on the queue's own thread as it finishes.
    QMetaObject::invokeMethod(
        m_context.get(),
        [this] {
            m_context.release()->deleteLater();
            m_thread.quit();
        },
        Qt::QueuedConnection);
    m_thread.wait();
}

void SerialQueue::post(std::function<void()> task)
{
    QMetaObject::invokeMethod(m_context.get(), std::move(task), Qt::QueuedConnection);
}

void SerialQueue::sync(const std::function<void()> &task)
{
    if (isCurrent()) {
        task();
        return;
    }
    QMetaObject::invokeMethod(m_context.get(), task, Qt::BlockingQueuedConnection);
}

bool SerialQueue::isCurrent() const
{
    return QThread::currentThread() == &m_thread;
}
