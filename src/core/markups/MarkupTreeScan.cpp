// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/MarkupTreeScan.h"

#include "core/markups/Utf8MarkupScanner.h"
#include "core/support/Log.h"
#include "core/support/PosixFiles.h"
#include "core/support/TreeWalk.h"

#include <QFile>
#include <QThread>

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

QString decodedPath(const std::string &path)
{
    return QFile::decodeName(QByteArrayView(path.data(), qsizetype(path.size())).toByteArray());
}

// Keeps the files whose lower-cased extension equals one of the entries exactly.
class ExtensionFilter
{
public:
    explicit ExtensionFilter(const QStringList &extensions)
        : m_extensions(extensions)
    {
        for (const QString &extension : extensions)
            m_utf8.push_back(extension.toStdString());
    }

    bool matches(std::string_view name) const
    {
        if (m_extensions.isEmpty())
            return false;
        const auto dot = name.rfind('.');
        const std::string_view extension =
            dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
        std::string lower;
        for (const char c : extension) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                const QString decoded =
                    QFile::decodeName(QByteArray(extension.data(), qsizetype(extension.size())));
                return m_extensions.contains(decoded.toLower());
            }
            lower.push_back(c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c);
        }
        for (const std::string &candidate : m_utf8) {
            if (candidate == lower)
                return true;
        }
        return false;
    }

private:
    QStringList m_extensions;
    std::vector<std::string> m_utf8;
};

// Larger files are not scanned, as they are not formatted: a source file is never this large.
constexpr qint64 kLargestScanned = qint64{16} * 1024 * 1024;

enum class ScanOutcome : std::uint8_t
{
    complete,
    unreadable, // or not valid UTF-8
    tooLarge,
};

// Reads one regular file through the scanner.
ScanOutcome scanFile(const std::string &path, Utf8MarkupScanner &scanner)
{
    // Should a pipe or device have taken the file's place since the walk, it is not read.
    struct stat status = {};
    const int fd = PosixFiles::openRegular(path.c_str(), status);
    if (fd < 0)
        return ScanOutcome::unreadable;
    if (status.st_size > kLargestScanned) {
        ::close(fd);
        return ScanOutcome::tooLarge;
    }
    bool complete = false;
    scanner.start();
    qint64 total = 0;
    for (;;) {
        const std::span<char> space = scanner.freeSpace();
        const ssize_t count = ::read(fd, space.data(), space.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            complete = count == 0 && scanner.finish();
            break;
        }
        total += count;
        // A file that grows while read is read no further than the limit.
        if (!scanner.commit(count) || total > kLargestScanned)
            break;
        // A short read that reaches the size seen at open is the end of a regular file;
        // this spares most files the read that would return 0.
        if (std::size_t(count) < space.size() && total >= status.st_size) {
            complete = scanner.finish();
            break;
        }
    }
    ::close(fd);
    return complete ? ScanOutcome::complete : ScanOutcome::unreadable;
}

struct FileJob
{
    std::string path;
    MarkupList markups;
    ScanOutcome outcome = ScanOutcome::unreadable;
};

// The walk's eligible files in walk order. The walking thread appends; readers take the
// next unclaimed file. A deque keeps claimed jobs in place while the walk appends more.
class FileQueue
{
public:
    void push(std::string path)
    {
        const std::lock_guard lock(m_mutex);
        m_files.push_back(FileJob{std::move(path), {}, ScanOutcome::unreadable});
        if (m_waiting > 0)
            m_ready.notify_one();
    }

    // A log line that belongs before the next file pushed.
    void note(QString line)
    {
        const std::lock_guard lock(m_mutex);
        m_notes.push_back(Note{m_files.size(), std::move(line)});
    }

    void close()
    {
        const std::lock_guard lock(m_mutex);
        m_closed = true;
        m_ready.notify_all();
    }

    // Scans files until the queue is closed and drained.
    void work()
    {
        Utf8MarkupScanner scanner;
        while (FileJob *job = claim()) {
            job->outcome = scanFile(job->path, scanner);
            if (job->outcome == ScanOutcome::complete && scanner.hasMarkups())
                job->markups = scanner.takeMarkups(decodedPath(job->path));
        }
    }

    // Once every reader has finished: the findings in walk order, logging the failures.
    MarkupList collect()
    {
        MarkupList all;
        std::size_t note = 0;
        const auto logNotesBefore = [&](std::size_t file) {
            for (; note < m_notes.size() && m_notes[note].beforeFile <= file; ++note)
                Log::line(m_notes[note].line);
        };
        for (std::size_t i = 0; i < m_files.size(); ++i) {
            logNotesBefore(i);
            FileJob &job = m_files[i];
            if (job.outcome == ScanOutcome::complete)
                all.append(std::move(job.markups));
            else if (job.outcome == ScanOutcome::tooLarge)
                Log::line(QStringLiteral("Not scanned for TODOs (larger than 16 MiB): ") +
                          decodedPath(job.path));
            else
                Log::line(QStringLiteral("Failed to read file: ") + decodedPath(job.path));
        }
        logNotesBefore(m_files.size());
        return all;
    }

private:
    FileJob *claim()
    {
        std::unique_lock lock(m_mutex);
        while (m_next == m_files.size() && !m_closed) {
            ++m_waiting;
            m_ready.wait(lock);
            --m_waiting;
        }
        return m_next < m_files.size() ? &m_files[m_next++] : nullptr;
    }

    struct Note
    {
        std::size_t beforeFile;
        QString line;
    };

    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<FileJob> m_files;
    std::vector<Note> m_notes;
    std::size_t m_next = 0;
    int m_waiting = 0;
    bool m_closed = false;
};

} // namespace

MarkupList MarkupTreeScan::run(const QString &rootPath, const QStringList &extensions, int threads)
{
    if (threads <= 0)
        threads = QThread::idealThreadCount();
    const ExtensionFilter filter(extensions);
    FileQueue queue;
    std::vector<std::jthread> readers;
    bool readersStarted = false;

    const auto onFile = [&](std::string path, std::string_view name) {
        if (!filter.matches(name))
            return;
        queue.push(std::move(path));
        // Started with the first eligible file: a tree without one costs no thread.
        if (!readersStarted) {
            readersStarted = true;
            try {
                for (int i = 1; i < threads; ++i)
                    readers.emplace_back([&queue] { queue.work(); });
            } catch (const std::system_error &) {
                // Fewer readers only make the scan slower; this thread reads whatever is left.
            }
        }
    };
    TreeWalk::Options options;
    // What a file browser shows: hidden items and the insides of packages are not the project's.
    options.scope = TreeWalk::Scope::visible;
    options.onFailure = [&](const std::string &path, int error, TreeWalk::Failure failure) {
        if (failure != TreeWalk::Failure::unreadableType)
            return; // a folder that cannot be listed is passed over
        queue.note(QStringLiteral("Error reading file at ") + decodedPath(path) +
                   QStringLiteral(": ") +
                   QString::fromLocal8Bit(std::generic_category().message(error)));
    };
    const bool listed = TreeWalk::files(QFile::encodeName(rootPath).toStdString(), options, onFile);

    queue.close();
    queue.work();
    readers.clear(); // joins: every claimed file is done after this

    if (!listed) {
        Log::line(QStringLiteral("Failed to create enumerator for ") + rootPath);
        return {};
    }
    return queue.collect();
}
