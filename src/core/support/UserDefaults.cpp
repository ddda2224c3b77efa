// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/UserDefaults.h"

#include <QMutex>
#include <QMutexLocker>
#include <QSettings>
#include <QWaitCondition>

#include <memory>
#include <thread>

namespace UserDefaults {

namespace {

// Writes reach the disk from a flusher thread shortly after they are made: each write to disk
// rewrites the whole file and syncs it, which per fix would cost more than the fix itself.
constexpr unsigned long kFlushDelayMs = 100;

struct Store
{
    QMutex mutex;
    QWaitCondition changed;
    std::unique_ptr<QSettings> settings;
    QString overridePath;
    bool dirty = false;
    bool stopping = false;
    std::thread flusher{[this] {
        flushLoop();
    }};

    ~Store()
    {
        {
            QMutexLocker lock(&mutex);
            stopping = true;
            changed.wakeAll();
        }
        flusher.join();
    }

    QSettings &open()
    {
        if (!settings) {
            settings = overridePath.isEmpty()
                           ? std::make_unique<QSettings>(
                                 QSettings::NativeFormat, QSettings::UserScope,
                                 QStringLiteral("Velmora"), QStringLiteral("Sprucer"))
                           : std::make_unique<QSettings>(overridePath, QSettings::IniFormat);
        }
        return *settings;
    }

    // Called with the mutex held.
    void syncNow()
    {
        if (settings)
            settings->sync();
        dirty = false;
    }

    void markDirty()
    {
        dirty = true;
        changed.wakeAll();
    }

    void flushLoop()
    {
        QMutexLocker lock(&mutex);
        while (!stopping) {
            if (!dirty) {
                changed.wait(&mutex);
                continue;
            }
            // Gather the writes of the next moment into one.
            changed.wait(&mutex, kFlushDelayMs);
            syncNow();
        }
        syncNow();
    }
};

Store &store()
{
    static Store instance;
    return instance;
}

template <typename Read>
auto readFresh(Read read)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    QSettings &settings = s.open();
    // Another process (the headless agent beside the window) may have written since; our own
    // pending writes go out first, so nothing of ours is lost to its copy.
    s.syncNow();
    return read(settings);
}

} // namespace

QVariant value(const QString &key)
{
    return readFresh([&](const QSettings &settings) { return settings.value(key); });
}

bool contains(const QString &key)
{
    return readFresh([&](const QSettings &settings) { return settings.contains(key); });
}

void setValue(const QString &key, const QVariant &value)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    s.open().setValue(key, value);
    s.markDirty();
}

void remove(const QString &key)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    s.open().remove(key);
    s.markDirty();
}

void flush()
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    s.syncNow();
}

QString fileName()
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    return s.open().fileName();
}

void useFile(const QString &path)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    s.syncNow();
    s.settings.reset();
    s.overridePath = path;
}

} // namespace UserDefaults
