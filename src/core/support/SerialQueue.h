// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QThread>

#include <functional>
#include <memory>

// A serial work queue: one thread of its own with an event loop, running the posted tasks one
// at a time in submission order. Timers and socket notifiers may live on it via `context()`.
class SerialQueue
{
public:
    explicit SerialQueue(const QString &label);
    ~SerialQueue(); // finishes the tasks already posted, then stops the thread
    SerialQueue(const SerialQueue &) = delete;
    SerialQueue &operator=(const SerialQueue &) = delete;

    QString label() const { return m_label; }

    // Queues a task; returns at once.
    void post(std::function<void()> task);
    // Runs a task on the queue and waits for it; runs it directly when already on the queue.
    void sync(const std::function<void()> &task);

    // An object living on the queue's thread, for timers and notifiers.
    QObject *context() const { return m_context.get(); }
    bool isCurrent() const;

private:
    QString m_label;
    QThread m_thread;
    std::unique_ptr<QObject> m_context;
};
