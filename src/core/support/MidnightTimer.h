// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QObject>

#include <functional>

class QTimer;

// Tells when a new local day begins, while started: one precise single-shot timer to the next
// midnight, armed again each time it fires, so nothing wakes in between. Main thread.
class MidnightTimer : public QObject
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;

    // Tests hand in a clock; the default is the system clock.
    explicit MidnightTimer(Clock clock = {}, QObject *parent = nullptr);

    void start();
    void stop();
    bool isActive() const;
    // The wait armed, in milliseconds.
    int interval() const;

    // From `now` to the start of the next local day; never less than a second, so a clock
    // that reads wrong cannot make the timer spin.
    static int msecsToMidnight(const QDateTime &now);

Q_SIGNALS:
    void dayBegan();

private:
    void arm();

    Clock m_clock;
    QTimer *m_timer;
};
