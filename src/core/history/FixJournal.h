// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/history/FixRecord.h"
#include "core/support/Result.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class SerialQueue;
class UserDefaults;

struct FixJournalLimits
{
    int fixes = 1000;
    qint64 bytes = 100LL * 1024 * 1024;
};

// The history of fixes: every fix that changed a file, with the content it replaced
// (compressed) and its diff, and the undos that took fixes back. One append-only file shared by
// every Sprucer process of the user (a lock around each change, each reader taking in what
// others appended); an entry cut short by a crash is skipped and cut off by the next append.
// It shows the newest fixes within a count, and keeps them within a size, rewriting the file (a
// new file renamed over it) when it holds twice that count or grows past that size.
//
// `record` is cheap on the calling thread: the compression, the diff and the write run on the
// journal's own queue. The rest may be called on any thread.
class FixJournal : public QObject
{
    Q_OBJECT

public:
    using Limits = FixJournalLimits;

    explicit FixJournal(QString folder = defaultFolder(), Limits limits = {},
                        QObject *parent = nullptr);
    ~FixJournal() override; // writes what was recorded first

    static QString defaultFolder();
    // "Keep a history of fixes", on unless the user turned it off.
    static inline const QString keepKey = QStringLiteral("keepFixHistory");
    static bool kept(const UserDefaults &settings);
    QString fileName() const;

    // When a fix or an undo happened; tests hand in their own clock before recording.
    using Clock = std::function<QDateTime()>;
    void setClock(Clock clock) { m_clock = std::move(clock); }

    // Off: nothing more is recorded; what is kept stays.
    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool enabled() const { return m_enabled; }

    // Keeps a fix that changed a file; anything else is not kept.
    void record(const FixOutcome &outcome, const QString &watcher, const QString &configuration);
    // Returns once every recorded fix is written.
    void flush();

    // The newest fixes first, at most the limit, each saying whether it was undone.
    QList<FixRecord> fixes();
    std::optional<FixRecord> find(quint64 id);
    std::optional<QByteArray> contentBefore(quint64 id);
    std::optional<QByteArray> diff(quint64 id);

    // Notes that `fix` was taken back; the file then holds its content before.
    Result<FixRecord> recordUndo(const FixRecord &fix);
    // Until an undo is recorded or fails: the file is left alone while it holds `digest`.
    void leaveAlone(const QString &path, const QByteArray &digest);
    void forget(const QString &path);
    // True while the file holds exactly what an undo put back: the user has not saved since.
    bool leavesAlone(const QString &path);

    Result<void> clear();

Q_SIGNALS:
    // Entries were added or removed, by this process or another. Any thread.
    void changed();

private:
    struct Blobs
    {
        QByteArray before; // compressed
        QByteArray diff;   // compressed
    };

    void write(FixRecord record, const QByteArray &before, const QByteArray &after);
    Result<FixRecord> append(FixRecord record, const Blobs &blobs);
    bool syncLocked();    // takes in what others wrote; m_mutex and the file lock held
    bool refreshLocked(); // the same, taking the file lock only when the file changed
    void readFrom(qint64 offset);
    void index(FixRecord record);
    void compactIfNeeded();
    bool rewrite(const QList<FixRecord> &kept);
    void reset();
    void makeFolder() const;
    std::optional<Blobs> blobsOf(quint64 id);
    FixRecord *recordOf(quint64 id);

    QString m_folder;
    Limits m_limits;
    std::atomic<bool> m_enabled{true};
    QString m_runPrefix; // this process's part of a run's key
    Clock m_clock = [] {
        return QDateTime::currentDateTime();
    };
    QMutex m_mutex;
    QList<FixRecord> m_records; // oldest first, fixes and undos
    QHash<QString, QByteArray> m_leftAlone;
    qint64 m_end = 0; // of the entries read
    quint64 m_inode = 0;
    int m_fixCount = 0;
    std::unique_ptr<SerialQueue> m_queue;
};
