// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <atomic>
#include <typeinfo>

// The process-wide instance of a type, reached through its `shared()` accessor. It is made and
// installed in one place at start-up, in the order the instances depend on each other; nothing
// is made behind the caller's back on first use. The parts of the core are handed the instances
// they need instead, so tests and screens can hand in their own.
template <typename T>
class ProcessWide
{
public:
    static T &get()
    {
        T *instance = s_instance.load(std::memory_order_acquire);
        if (!instance)
            qFatal("%s is used before start-up made it", typeid(T).name());
        return *instance;
    }

    // Only the first of several takes effect, until it is uninstalled.
    static void install(T *instance)
    {
        T *expected = nullptr;
        s_instance.compare_exchange_strong(expected, instance, std::memory_order_acq_rel);
    }

    static void uninstall(T *instance)
    {
        T *expected = instance;
        s_instance.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel);
    }

private:
    static inline std::atomic<T *> s_instance = nullptr;
};
