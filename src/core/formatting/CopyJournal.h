// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAtomicInteger>
#include <QLockFile>
#include <QString>

#include <memory>

// Notes, outside the watched trees, where the private copies of this process are, so that the
// copies a crash left in a project are removed at the next start. Each process keeps its notes
// in a folder of its own, locked for its life: a folder whose lock is free belongs to a process
// that is gone. Any thread.
class CopyJournal
{
public:
    // `root`: the folder of every process's notes (made when missing).
    explicit CopyJournal(QString root);
    ~CopyJournal();
    CopyJournal(const CopyJournal &) = delete;
    CopyJournal &operator=(const CopyJournal &) = delete;

    // Notes a copy folder; returns the note, to be forgotten once the folder is gone. Empty when
    // the note could not be written (the copy is then only removed by its own run).
    QString remember(const QString &copyDirectory);
    void forget(const QString &note);

    // Removes the copy folders noted by processes that are gone, and their notes; returns how
    // many folders were removed.
    int sweepLeftovers();

private:
    QString m_root;
    QString m_folder; // this process's notes
    std::unique_ptr<QLockFile> m_lock;
    bool m_locked = false;
    QAtomicInteger<quint64> m_lastNote = 0;
};
