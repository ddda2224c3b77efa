// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QString>

#include <unistd.h>

// What a benchmark reads about another process from /proc: memory, inotify watches, and the
// CPU time and context switches that show whether it sleeps.
namespace ProcessProbe {

inline QByteArray readProc(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A "Key:   value kB" line of /proc/<pid>/status.
inline long statusField(const QByteArray &status, const QByteArray &key)
{
    for (const QByteArray &line : status.split('\n')) {
        if (line.startsWith(QByteArray(key + ':')))
            return line.mid(key.size() + 1).trimmed().split(' ').first().toLong();
    }
    return -1;
}

inline long statusKb(qint64 pid, const QByteArray &key)
{
    return statusField(readProc(QStringLiteral("/proc/%1/status").arg(pid)), key);
}

inline long rssKb(qint64 pid)
{
    return statusKb(pid, "VmRSS");
}

// The watches of every inotify instance the process holds.
inline long watchCount(qint64 pid)
{
    long watches = 0;
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString &fd : QDir(fds).entryList(QDir::Files | QDir::System)) {
        char target[256] = {};
        const QByteArray link = QFile::encodeName(fds + u'/' + fd);
        if (::readlink(link.constData(), target, sizeof target - 1) > 0 &&
            QByteArray(target).contains("inotify")) {
            watches += readProc(QStringLiteral("/proc/%1/fdinfo/%2").arg(pid).arg(fd))
                           .count("inotify wd:");
        }
    }
    return watches;
}

struct Activity
{
    long cpuTicks = 0; // user + system time of the whole process
    long switches = 0; // voluntary and involuntary context switches of all its threads
    int threads = 0;

    Activity since(const Activity &earlier) const
    {
        return {cpuTicks - earlier.cpuTicks, switches - earlier.switches, threads};
    }
};

inline Activity activity(qint64 pid)
{
    Activity result;
    const QByteArray stat = readProc(QStringLiteral("/proc/%1/stat").arg(pid));
    // Fields after the parenthesised command name: state is field 3, utime 14, stime 15.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() > 12)
        result.cpuTicks = fields[11].toLong() + fields[12].toLong();
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QByteArray status = readProc(tasks + u'/' + task + QStringLiteral("/status"));
        result.switches += statusField(status, "voluntary_ctxt_switches") +
                           statusField(status, "nonvoluntary_ctxt_switches");
        ++result.threads;
    }
    return result;
}

// The context switches of each thread, by name and id.
inline QMap<QString, long> threadSwitches(qint64 pid)
{
    QMap<QString, long> switches;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString folder = tasks + u'/' + task;
        const QByteArray status = readProc(folder + QStringLiteral("/status"));
        const QString name =
            QString::fromUtf8(readProc(folder + QStringLiteral("/comm")).trimmed());
        switches.insert(name + u'/' + task, statusField(status, "voluntary_ctxt_switches") +
                                                statusField(status, "nonvoluntary_ctxt_switches"));
    }
    return switches;
}

// What the threads did between two readings of threadSwitches(). A thread that ended in
// between takes its switches with it, so a sum over whole processes can even go down.
struct ThreadWakes
{
    long switches = 0; // of the threads alive at the second reading; all of a new one's
    QString woke;      // " name/id count," for each of them that switched
    int ended = 0;     // threads gone by the second reading, whose last switches are lost
};

inline ThreadWakes wakesBetween(const QMap<QString, long> &before, const QMap<QString, long> &after)
{
    // By id alone: a thread may name itself between the readings.
    QMap<QString, long> byId;
    for (const auto &[thread, switches] : before.asKeyValueRange())
        byId.insert(thread.section(u'/', -1), switches);
    ThreadWakes wakes;
    for (const auto &[thread, switches] : after.asKeyValueRange()) {
        const long since = switches - byId.take(thread.section(u'/', -1));
        wakes.switches += since;
        if (since != 0)
            wakes.woke += QStringLiteral(" %1 %2,").arg(thread).arg(since);
    }
    wakes.ended = int(byId.size());
    return wakes;
}

// Milliseconds of CPU per tick of /proc/<pid>/stat.
inline double msPerTick()
{
    return 1000.0 / double(::sysconf(_SC_CLK_TCK));
}

} // namespace ProcessProbe
