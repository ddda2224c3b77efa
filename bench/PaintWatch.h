// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QWidget>

#include <functional>

// What the screen benchmarks wait for: a widget's next paint, with the event loop running.
namespace PaintWatch {

// Notes the next paint of the widget it watches, once `ready` holds (by default at once).
class NextPaint : public QObject
{
public:
    explicit NextPaint(QWidget &widget, std::function<bool()> ready = {})
        : m_ready(std::move(ready))
    {
        widget.installEventFilter(this);
    }
    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && (!m_ready || m_ready()))
            painted = true;
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool()> m_ready;
};

// Runs the event loop until `done`, or ten seconds.
inline void waitFor(const std::function<bool()> &done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Points the settings, data and caches of this process into `folder`, away from the user's.
inline void useHome(const QString &folder)
{
    for (const char *variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(variable, QFile::encodeName(folder));
}

} // namespace PaintWatch
