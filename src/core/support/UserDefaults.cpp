// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/UserDefaults.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QSettings>
#include <QWaitCondition>

#include <memory>
#include <sys/stat.h>
#include <thread>

namespace UserDefaults {

namespace {

// Writes reach the disk from a flusher thread shortly after they are made: each write to disk
// rewrites the whole file and syncs it, which per fix would cost more than the fix itself.
constexpr unsigned long kFlushDelayMs = 100;

// What tells one version of the file on disk from another: each write replaces the file.
struct FileVersion
{
    ino_t inode = 0;
    off_t size = -1;
    timespec modified = {};

    static FileVersion of(const QString &path)
    {
        struct stat status = {};
        if (::stat(QFile::encodeName(path).constData(), &status) != 0)
            return {};
        return {status.st_ino, status.st_size, status.st_mtim};
    }

    bool operator==(const FileVersion &other) const
    {
        return inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

struct Store
{
    QMutex mutex;
    QWaitCondition changed;
    std::unique_ptr<QSettings> settings;
    QString overridePath;
    FileVersion seen; // the file as it was after our last read or write of it
    quint64 writes = 0;
    bool dirty = false;
    bool stopping = false;
    std::thread flusher{[this] {
        flushLoop();
    }};

    Store();

    ~Store()
    {
        stopFlusher();
        QMutexLocker lock(&mutex);
        syncNow();
    }

    // Writes what is pending and ends the flusher thread; later writes reach the disk through
    // `flush` or at exit. Called when the application object goes: a thread still writing
    // while the process tears down Qt's own globals would race with them.
    void stopFlusher()
    {
        {
            QMutexLocker lock(&mutex);
            stopping = true;
            changed.wakeAll();
        }
        if (flusher.joinable())
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
            seen = FileVersion::of(settings->fileName());
        }
        return *settings;
    }

    // Another process (the headless agent beside the window) wrote the file since we last did.
    bool changedOnDisk() const
    {
        return settings && !(FileVersion::of(settings->fileName()) == seen);
    }

    // Called with the mutex held. Writes our changes and takes in another process's; with
    // neither, the file is left alone.
    void syncNow()
    {
        if (!settings || (!dirty && !changedOnDisk()))
            return;
        settings->sync();
        writes += dirty ? 1 : 0;
        dirty = false;
        seen = FileVersion::of(settings->fileName());
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
            // Gather the writes of the next moment into one: each write wakes this thread, and
            // restoring twenty watchers must not rewrite the file twenty times.
            const QDeadlineTimer gathered(kFlushDelayMs);
            while (!stopping && changed.wait(&mutex, gathered)) {
            }
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

Store::Store()
{
    qAddPostRoutine([] { store().stopFlusher(); });
}

template <typename Read>
auto readFresh(Read read)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    QSettings &settings = s.open();
    // When another process wrote meanwhile, our own pending writes go out with the merge, so
    // nothing of ours is lost to its copy. Otherwise memory is current and nothing waits on disk.
    if (s.changedOnDisk())
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
    QSettings &settings = s.open();
    // Compared with what the file holds now, not with what another process has replaced.
    if (s.changedOnDisk())
        s.syncNow();
    // Rewriting and syncing the whole file for a value it already holds would be all cost.
    if (settings.contains(key) && settings.value(key) == value)
        return;
    settings.setValue(key, value);
    s.markDirty();
}

void remove(const QString &key)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    QSettings &settings = s.open();
    if (s.changedOnDisk())
        s.syncNow();
    if (!settings.contains(key))
        return;
    settings.remove(key);
    s.markDirty();
}

void flush()
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    s.syncNow();
}

quint64 writesToDisk()
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    return s.writes;
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
