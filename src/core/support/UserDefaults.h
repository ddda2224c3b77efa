// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <chrono>
#include <memory>

// The application's user defaults: a key/value store on disk. The program makes one and hands it
// to every store that keeps something there; it is safe to call from any thread.
// A write is visible at once and on disk within a tenth of a second; `flush` forces it out.
// Writing a value the key already holds changes nothing, on disk included.
// A write the disk refuses stays in memory (reads see it), is logged once with its reason and
// is tried again after 1 s, 2 s, 4 s… up to a minute apart.
// Another process writing the same file (the headless agent beside the window) is read in before
// our next read or write, and our pending writes go out with the merge.
class UserDefaults
{
public:
    // An empty path: the user's own store.
    explicit UserDefaults(const QString &file = {});
    // Writes what is still pending.
    ~UserDefaults();
    UserDefaults(const UserDefaults &) = delete;
    UserDefaults &operator=(const UserDefaults &) = delete;

    QVariant value(const QString &key) const;
    bool contains(const QString &key) const;
    void setValue(const QString &key, const QVariant &value);
    void remove(const QString &key);

    // Blocks until every write so far is on disk (before another process reads); false when the
    // file could not be written.
    bool flush();

    // The last try at quitting: what still cannot be written goes to `RecoveryFile::defaultPath()`
    // for the next start. False (after logging) when anything is not on disk.
    bool flushAtQuit();

    // What a start took over from the file an earlier run could not write.
    struct Recovered
    {
        QStringList keys;
        bool onDisk = false; // else the recovery file stays until they are
    };

    // Takes the recovery file's values into the store (they are newer than the store's), logs
    // them, and removes the file once they are on disk. Call before anything reads the store.
    Recovered mergeRecoveryFile(const QString &path);

    // How many times the file was written since this object was made.
    quint64 writesToDisk() const;

    // The file on disk; beside it, damaged values are backed up (StoredValueBackup).
    QString fileName() const;

    // Points the store at another file (tests); an empty path goes back to the user's own store.
    // Writes the old file could not take are dropped.
    void useFile(const QString &path);

    // How long failed writes wait before the next try, doubling up to `longest` (tests).
    void setRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds longest);

private:
    struct Store;
    std::unique_ptr<Store> m_store;
};
