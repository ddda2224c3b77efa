// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAtomicInteger>
#include <QElapsedTimer>
#include <QLockFile>
#include <QString>

#include <chrono>
#include <memory>

// Where the private copies of this process are, so that those a crash left behind are removed:
// at the next start, and by the next fix run of any Sprucer process of the user. Copies beside
// the user's files are noted one by one in a folder of notes outside the watched trees; copies
// outside the trees all live in one folder of the process, named as its notes folder. Each
// process keeps its notes folder locked for its life: a folder whose lock is free belongs to a
// process that is gone. Any thread.
class CopyJournal
{
public:
    // `root`: the folder of every process's notes (made when missing). `copiesRoot`: the folder
    // of every process's copies outside the trees; none, and every copy goes beside its file.
    // `sweepInterval`: how long `sweepIfDue` waits between sweeps.
    explicit CopyJournal(QString root, QString copiesRoot = QString(),
                         std::chrono::milliseconds sweepInterval = std::chrono::seconds(5));
    ~CopyJournal();
    CopyJournal(const CopyJournal &) = delete;
    CopyJournal &operator=(const CopyJournal &) = delete;

    // Notes a copy folder; returns the note, to be forgotten once the folder is gone. Empty when
    // the note could not be written (the copy is then only removed by its own run).
    QString remember(const QString &copyDirectory);
    void forget(const QString &note);

    // This process's folder for copies outside the trees, readable by the user alone (made
    // again if something removed it). Empty when there is none: a sweep could not tell it from
    // a leftover without the lock.
    QString outOfTreeFolder() const;

    // Removes the copy folders of processes that are gone, and their notes; returns how many
    // copy folders were removed.
    int sweepLeftovers();
    // The same at most once an interval (the first an interval after the journal was made, as
    // the start-up sweep runs then), so that every fix run may ask for it.
    int sweepIfDue();

private:
    int sweepIfGone(const QString &name) const;
    int removeNotedCopies(const QString &notesFolder) const;
    int removeOutOfTreeCopies(const QString &name) const;
    int removeOrphanedCopies() const;

    QString m_root;
    QString m_name; // of this process's notes folder, and of its folder of copies
    QString m_folder;
    QString m_copiesRoot;
    std::unique_ptr<QLockFile> m_lock;
    bool m_locked = false;
    QAtomicInteger<quint64> m_lastNote = 0;
    const std::chrono::milliseconds m_sweepInterval;
    QElapsedTimer m_clock;
    QAtomicInteger<qint64> m_lastSweep = 0;
};
