// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/UserDefaults.h"

#include "core/support/Log.h"
#include "core/support/RecoveryFile.h"
#include "core/support/WriteProbe.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QMutex>
#include <QMutexLocker>
#include <QSettings>
#include <QWaitCondition>

#include <algorithm>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <utility>

namespace {

// Writes reach the disk from a flusher thread shortly after they are made: each write to disk
// rewrites the whole file and syncs it, which per fix would cost more than the fix itself.
constexpr unsigned long kFlushDelayMs = 100;

using std::chrono::milliseconds;

// A full disk stays full for a while: trying every tenth of a second would only cost.
struct Backoff
{
    milliseconds first{1000};
    milliseconds longest{60000};
    milliseconds next = first;

    milliseconds take()
    {
        const milliseconds now = next;
        next = std::min(next * 2, longest);
        return now;
    }

    void reset() { next = first; }
};

// A log line names the keys, but a line of hundreds would hide the reason.
QString keyList(const QStringList &keys)
{
    constexpr qsizetype kNamed = 8;
    if (keys.size() <= kNamed)
        return keys.join(QStringLiteral(", "));
    return keys.first(kNamed).join(QStringLiteral(", ")) +
           QStringLiteral(" and %1 more").arg(keys.size() - kNamed);
}

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

} // namespace

struct UserDefaults::Store
{
    QMutex mutex;
    QWaitCondition changed;
    std::unique_ptr<QSettings> settings;
    QString overridePath;
    FileVersion seen; // the file as it was after our last read or write of it
    quint64 writes = 0;
    // Changed since the file last took a write; no value for a removed key. Kept here too:
    // QSettings keeps them only while its file object lives.
    QMap<QString, std::optional<QVariant>> unwritten;
    QString failure; // why the last write failed; empty while writes go through
    Backoff backoff;
    QDeadlineTimer retryAt;
    QString recoveryToRemove; // its values are in `unwritten` until written
    bool stopping = false;
    std::thread flusher{[this] {
        flushLoop();
    }};

    explicit Store(QString path);

    ~Store()
    {
        stopFlusher();
        QMutexLocker lock(&mutex);
        // Qt's globals may be gone by now, and the log with them: no new QSettings and no log
        // line, only one more try through the object we have.
        if (settings && !unwritten.isEmpty())
            settings->sync();
    }

    // Flushers still running when the application object goes are stopped before Qt's own
    // globals: a thread still writing while the process tears them down would race with them.
    struct Running
    {
        QMutex mutex;
        QList<Store *> stores;
        bool routineAdded = false;
    };
    static Running &running();
    static void rememberAtExit(Store *store);
    static void forgetAtExit(Store *store);

    void stopFlusher()
    {
        forgetAtExit(this);
        endFlusher();
    }

    // Writes what is pending and ends the flusher thread; later writes reach the disk through
    // `flush` or when the store goes.
    void endFlusher()
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

    // QSettings keeps the first error it meets for good, so each sync goes through an object of
    // its own; it shares the file's keys, pending changes included, with `settings`.
    bool syncedWithoutError() const
    {
        QSettings writer(settings->fileName(), QSettings::IniFormat);
        writer.sync();
        if (writer.status() != QSettings::FormatError)
            return writer.status() == QSettings::NoError;
        // A damaged file read first hides whether the write then failed; it is read by now.
        QSettings again(settings->fileName(), QSettings::IniFormat);
        again.sync();
        return again.status() == QSettings::NoError;
    }

    // Called with the mutex held. Writes our changes and takes in another process's; with
    // neither, the file is left alone. False when our changes are not on disk.
    bool syncNow()
    {
        if (!settings || (unwritten.isEmpty() && !changedOnDisk()))
            return unwritten.isEmpty();
        const bool synced = syncedWithoutError();
        seen = FileVersion::of(settings->fileName());
        if (synced)
            noteWritten();
        else if (!unwritten.isEmpty()) // a failed read loses nothing
            noteFailed();
        return unwritten.isEmpty();
    }

    void noteWritten()
    {
        writes += unwritten.isEmpty() ? 0 : 1;
        if (!failure.isEmpty())
            log(QStringLiteral("✅ Stored %1 value(s) the settings file had refused: %2")
                    .arg(unwritten.size())
                    .arg(keyList(unwritten.keys())));
        unwritten.clear();
        failure.clear();
        backoff.reset();
        if (!recoveryToRemove.isEmpty())
            QFile::remove(std::exchange(recoveryToRemove, QString()));
    }

    void noteFailed()
    {
        QString reason = WriteProbe::whyNotWritable(settings->fileName());
        // The probe can come after what stopped the write has gone: nothing new to say then.
        if (reason.isEmpty())
            reason = failure.isEmpty() ? QStringLiteral("the file could not be written") : failure;
        // Once per reason: a retry that fails the same way has nothing new to say.
        if (reason != failure)
            log(QStringLiteral("❌ Could not store %1: %2").arg(keyList(unwritten.keys()), reason));
        failure = reason;
        retryAt = QDeadlineTimer(backoff.take());
    }

    static void log(const QString &line) { Log::line(line); }

    void markChanged(const QString &key, std::optional<QVariant> value)
    {
        unwritten.insert(key, value);
        changed.wakeAll();
    }

    void flushLoop()
    {
        QMutexLocker lock(&mutex);
        while (!stopping) {
            if (unwritten.isEmpty()) {
                changed.wait(&mutex);
                continue;
            }
            // Gather the writes of the next moment into one: each write wakes this thread, and
            // restoring twenty watchers must not rewrite the file twenty times. After a failure
            // the next try waits its turn, whatever is written meanwhile.
            const QDeadlineTimer gathered(kFlushDelayMs);
            while (!stopping && !unwritten.isEmpty() &&
                   changed.wait(&mutex, failure.isEmpty() ? gathered : retryAt)) {
            }
            syncNow();
        }
        syncNow();
    }

    // What could not be written goes where the next start looks for it.
    void keepForNextStart()
    {
        QMap<QString, QVariant> values;
        for (auto it = unwritten.cbegin(); it != unwritten.cend(); ++it)
            if (it->has_value())
                values.insert(it.key(), **it);
        const QString path = RecoveryFile::defaultPath();
        QString why = QStringLiteral("only removals, which are not kept");
        if (!values.isEmpty() && RecoveryFile::write(path, values, &why)) {
            recoveryToRemove = path;
            log(QStringLiteral(
                    "⚠️ %1 value(s) could not be stored before quitting; they are kept "
                    "in %2 for the next start: %3")
                    .arg(values.size())
                    .arg(path, keyList(values.keys())));
        } else {
            log(QStringLiteral("❌ %1 value(s) could not be stored before quitting, nor kept in "
                               "%2 (%3): %4")
                    .arg(unwritten.size())
                    .arg(path, why, keyList(unwritten.keys())));
        }
    }

    template <typename Read>
    auto readFresh(Read read)
    {
        QMutexLocker lock(&mutex);
        QSettings &opened = open();
        // When another process wrote meanwhile, our own pending writes go out with the merge, so
        // nothing of ours is lost to its copy. Otherwise memory is current and nothing waits on
        // disk.
        if (changedOnDisk())
            syncNow();
        return read(opened);
    }

    // Called with the mutex held.
    void setValueLocked(const QString &key, const QVariant &value)
    {
        QSettings &opened = open();
        // Compared with what the file holds now, not with what another process has replaced.
        if (changedOnDisk())
            syncNow();
        // Rewriting and syncing the whole file for a value it already holds would be all cost.
        if (opened.contains(key) && opened.value(key) == value)
            return;
        opened.setValue(key, value);
        markChanged(key, value);
    }

    void useFile(const QString &path)
    {
        syncNow();
        settings.reset();
        overridePath = path;
        unwritten.clear();
        failure.clear();
        backoff.reset();
        recoveryToRemove.clear();
    }
};

namespace {

void logRecovered(const UserDefaults::Recovered &recovered, const QString &path)
{
    const QString what = QStringLiteral("%1 value(s) the last run could not store: %2")
                             .arg(recovered.keys.size())
                             .arg(keyList(recovered.keys));
    if (recovered.onDisk)
        Log::line(QStringLiteral("✅ Recovered ") + what);
    else
        Log::line(QStringLiteral("⚠️ Recovered ") + what +
                  QStringLiteral("; they are not on disk yet, so %1 is kept").arg(path));
}

} // namespace

UserDefaults::Store::Store(QString path)
    : overridePath(std::move(path))
{
    rememberAtExit(this);
}

void UserDefaults::Store::rememberAtExit(Store *store)
{
    Running &r = running();
    QMutexLocker lock(&r.mutex);
    if (!r.routineAdded) {
        qAddPostRoutine([] {
            Running &all = running();
            QMutexLocker allLock(&all.mutex);
            for (Store *each : std::as_const(all.stores))
                each->endFlusher();
            all.stores.clear();
        });
        r.routineAdded = true;
    }
    r.stores.append(store);
}

void UserDefaults::Store::forgetAtExit(Store *store)
{
    Running &r = running();
    QMutexLocker lock(&r.mutex);
    r.stores.removeOne(store);
}

UserDefaults::Store::Running &UserDefaults::Store::running()
{
    static Running instance;
    return instance;
}

UserDefaults::UserDefaults(const QString &file)
    : m_store(std::make_unique<Store>(file))
{}

UserDefaults::~UserDefaults() = default;

QVariant UserDefaults::value(const QString &key) const
{
    return m_store->readFresh([&](const QSettings &settings) { return settings.value(key); });
}

bool UserDefaults::contains(const QString &key) const
{
    return m_store->readFresh([&](const QSettings &settings) { return settings.contains(key); });
}

void UserDefaults::setValue(const QString &key, const QVariant &value)
{
    QMutexLocker lock(&m_store->mutex);
    m_store->setValueLocked(key, value);
}

void UserDefaults::remove(const QString &key)
{
    Store &s = *m_store;
    QMutexLocker lock(&s.mutex);
    QSettings &settings = s.open();
    if (s.changedOnDisk())
        s.syncNow();
    if (!settings.contains(key))
        return;
    settings.remove(key);
    s.markChanged(key, std::nullopt);
}

bool UserDefaults::flush()
{
    QMutexLocker lock(&m_store->mutex);
    return m_store->syncNow();
}

bool UserDefaults::flushAtQuit()
{
    Store &s = *m_store;
    QMutexLocker lock(&s.mutex);
    if (s.syncNow())
        return true;
    s.keepForNextStart();
    return false;
}

UserDefaults::Recovered UserDefaults::mergeRecoveryFile(const QString &path)
{
    if (!QFileInfo::exists(path))
        return {};
    const QSettings file(path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError) {
        Log::line(
            QStringLiteral("❌ Could not read %1, which holds values the last run could not store")
                .arg(path));
        return {};
    }
    Recovered recovered{file.allKeys(), false};
    if (recovered.keys.isEmpty()) {
        QFile::remove(path);
        return {{}, true};
    }
    Store &s = *m_store;
    QMutexLocker lock(&s.mutex);
    for (const QString &key : std::as_const(recovered.keys))
        s.setValueLocked(key, file.value(key));
    recovered.onDisk = s.syncNow();
    if (recovered.onDisk)
        QFile::remove(path);
    else
        s.recoveryToRemove = path;
    logRecovered(recovered, path);
    return recovered;
}

quint64 UserDefaults::writesToDisk() const
{
    QMutexLocker lock(&m_store->mutex);
    return m_store->writes;
}

QString UserDefaults::fileName() const
{
    QMutexLocker lock(&m_store->mutex);
    return m_store->open().fileName();
}

void UserDefaults::useFile(const QString &path)
{
    QMutexLocker lock(&m_store->mutex);
    m_store->useFile(path);
}

void UserDefaults::setRetryDelays(std::chrono::milliseconds first,
                                  std::chrono::milliseconds longest)
{
    QMutexLocker lock(&m_store->mutex);
    m_store->backoff = Backoff{first, longest, first};
}
