// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QThread>

// The process-wide instance of an observable object: made on first use, whichever thread asks
// first, then moved to the main thread where its changes are announced. Never released, so it
// outlives every background task that may still call it at exit.
template <typename T>
T &mainThreadInstance()
{
    static T *const instance = [] {
        auto *object = new T;
        if (QCoreApplication *app = QCoreApplication::instance())
            object->moveToThread(app->thread());
        return object;
    }();
    return *instance;
}
