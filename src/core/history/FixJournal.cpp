// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/FixJournal.h"

#include "core/history/JournalFrame.h"
#include "core/support/AppPaths.h"
#include "core/support/Log.h"
#include "core/support/PosixFiles.h"
#include "core/support/SerialQueue.h"
#include "core/support/UnifiedDiff.h"
#include "core/support/UserDefaults.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr quint8 kFormat = 1;
constexpr qint64 kLargestFile = 16LL * 1024 * 1024; // the fixer's own limit

// The lock every process takes around the journal; a file of its own, since the journal itself
// is replaced when it is rewritten.
class FileLock
{
public:
    FileLock(const QString &path, int operation)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0)
            return;
        while (::flock(m_fd, operation) != 0) {
            if (errno != EINTR) {
                ::close(m_fd);
                m_fd = -1;
                return;
            }
        }
    }
    ~FileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    explicit operator bool() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

QByteArray encode(const FixRecord &record, const QByteArray &before, const QByteArray &diff)
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kFormat << quint8(record.kind) << record.id << record.time.toMSecsSinceEpoch()
        << record.watcherId << record.watcher << record.path << record.tool << record.configuration
        << quint8(record.origin) << record.run << record.digestBefore << record.digestAfter
        << qint32(record.added) << qint32(record.removed) << record.undoes << before << diff;
    return payload;
}

// The blobs are read only when asked for: the index needs the rest alone.
std::optional<FixRecord> decode(const QByteArray &payload, QByteArray *before = nullptr,
                                QByteArray *diff = nullptr)
{
    QDataStream in(payload);
    in.setVersion(QDataStream::Qt_6_0);
    quint8 format = 0, kind = 0, origin = 0;
    qint64 msecs = 0;
    qint32 added = 0, removed = 0;
    FixRecord record;
    in >> format >> kind >> record.id >> msecs >> record.watcherId >> record.watcher >>
        record.path >> record.tool >> record.configuration >> origin >> record.run >>
        record.digestBefore >> record.digestAfter >> added >> removed >> record.undoes;
    if (before && diff)
        in >> *before >> *diff;
    const bool knownKind =
        kind == quint8(FixRecord::Kind::fix) || kind == quint8(FixRecord::Kind::undo);
    if (in.status() != QDataStream::Ok || format != kFormat || !knownKind ||
        origin > quint8(FixOutcome::Origin::commandLine))
        return std::nullopt;
    record.kind = FixRecord::Kind(kind);
    record.origin = FixOutcome::Origin(origin);
    record.time = QDateTime::fromMSecsSinceEpoch(msecs);
    record.added = added;
    record.removed = removed;
    return record;
}

Error historyError(const QString &description)
{
    return Error{QStringLiteral("FixJournal"), 0, description};
}

QByteArray digestOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

// Lines added and removed, from the diff's hunks (its two header lines left out).
std::pair<int, int> countChanges(const QByteArray &diff)
{
    int added = 0, removed = 0, line = 0;
    for (qsizetype start = 0; start < diff.size(); ++line) {
        qsizetype end = diff.indexOf('\n', start);
        if (end < 0)
            end = diff.size();
        if (line >= 2 && diff[start] == '+')
            ++added;
        else if (line >= 2 && diff[start] == '-')
            ++removed;
        start = end + 1;
    }
    return {added, removed};
}

bool writeAt(int fd, const QByteArray &bytes, qint64 offset)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done),
                                         off_t(offset + done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

FixJournal::FixJournal(QString folder, Limits limits, QObject *parent)
    : QObject(parent)
    , m_folder(std::move(folder))
    , m_limits(limits)
    , m_runPrefix(QUuid::createUuid().toString(QUuid::WithoutBraces).left(8) + u':')
    , m_queue(std::make_unique<SerialQueue>(QStringLiteral("Fix history")))
{}

FixJournal::~FixJournal()
{
    m_queue.reset();
}

QString FixJournal::defaultFolder()
{
    return AppPaths::configurationsDirectory() + QStringLiteral("/history");
}

bool FixJournal::kept(const UserDefaults &settings)
{
    return !settings.contains(keepKey) || settings.value(keepKey).toBool();
}

QString FixJournal::fileName() const
{
    return m_folder + QStringLiteral("/fixes.journal");
}

void FixJournal::record(const FixOutcome &outcome, const QString &watcher,
                        const QString &configuration)
{
    if (!m_enabled || !outcome.changed() || outcome.digestBefore.isEmpty())
        return;
    FixRecord record;
    record.time = m_clock();
    record.watcherId = outcome.watcherId;
    record.watcher = watcher;
    record.path = outcome.path;
    record.tool = outcome.tool;
    record.configuration = configuration;
    record.origin = outcome.origin;
    if (outcome.origin != FixOutcome::Origin::save)
        record.run = m_runPrefix + QString::number(outcome.delivery);
    record.digestBefore = outcome.digestBefore;
    record.digestAfter = outcome.digestAfter;
    m_queue->post([this, record, before = outcome.contentBefore, after = outcome.contentAfter] {
        write(record, before, after);
    });
}

void FixJournal::flush()
{
    m_queue->sync([] {});
}

void FixJournal::write(FixRecord record, const QByteArray &before, const QByteArray &after)
{
    // A fixer that did not hand back what it replaced leaves nothing an undo could trust.
    if (digestOf(before) != record.digestBefore) {
        Log::line(QStringLiteral("The history cannot keep the fix of ") + record.path +
                  QStringLiteral(": the content before it is not known"));
        return;
    }
    QString label = record.path;
    if (label.startsWith(u'/'))
        label.remove(0, 1);
    const QByteArray diff = UnifiedDiff::of(before, after, label);
    std::tie(record.added, record.removed) = countChanges(diff);
    const Result<FixRecord> written = append(record, {qCompress(before), qCompress(diff)});
    if (!written)
        Log::line(QStringLiteral("The history could not keep the fix of ") + record.path +
                  QStringLiteral(": ") + written.error().description);
}

Result<FixRecord> FixJournal::append(FixRecord record, const Blobs &blobs)
{
    {
        QMutexLocker lock(&m_mutex);
        makeFolder();
        FileLock fileLock(m_folder + QStringLiteral("/fixes.lock"), LOCK_EX);
        if (!fileLock)
            return historyError(QStringLiteral("cannot lock ") + m_folder);
        syncLocked();
        const int fd =
            ::open(QFile::encodeName(fileName()).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            return historyError(QStringLiteral("cannot open ") + fileName());
        struct stat info = {};
        // A tail a crash cut short goes, so that the new entry follows the good ones.
        const bool ok =
            ::fstat(fd, &info) == 0 && (info.st_size <= m_end || ::ftruncate(fd, m_end) == 0);
        record.id = m_records.isEmpty() ? 1 : m_records.last().id + 1;
        record.offset = m_end;
        const QByteArray frame = JournalFrame::wrap(encode(record, blobs.before, blobs.diff));
        record.size = frame.size();
        const bool written = ok && writeAt(fd, frame, m_end);
        ::close(fd);
        if (!written)
            return historyError(QStringLiteral("cannot write ") + fileName() +
                                QStringLiteral(": ") +
                                QString::fromLocal8Bit(std::strerror(errno)));
        m_inode = info.st_ino;
        m_end += frame.size();
        index(record);
        compactIfNeeded();
        if (const FixRecord *kept = recordOf(record.id))
            record = *kept;
    }
    Q_EMIT changed();
    return record;
}

bool FixJournal::syncLocked()
{
    struct stat info = {};
    if (::stat(QFile::encodeName(fileName()).constData(), &info) != 0) {
        const bool had = !m_records.isEmpty();
        reset();
        return had;
    }
    if (quint64(info.st_ino) != m_inode || info.st_size < m_end) {
        reset();
        m_inode = info.st_ino;
        readFrom(0);
        return true;
    }
    if (info.st_size == m_end)
        return false;
    const qsizetype known = m_records.size();
    readFrom(m_end);
    return m_records.size() != known;
}

void FixJournal::readFrom(qint64 offset)
{
    QFile file(fileName());
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return;
    const qint64 size = file.size();
    while (true) {
        const qint64 start = file.pos();
        const QByteArray header = file.read(JournalFrame::headerSize);
        const JournalFrame::Header frame =
            JournalFrame::readHeader(header, size - start - JournalFrame::headerSize);
        if (frame.state == JournalFrame::Read::torn) {
            // Damage inside the file (its length field, say) must not cost the entries after it.
            if (!file.seek(start))
                return;
            const qsizetype next = JournalFrame::nextWhole(file.readAll(), 1);
            if (next < 0)
                return; // a tail cut short by a crash: the next append cuts it off
            Log::line(QStringLiteral("A damaged part of the history was skipped"));
            m_end = start + next;
            file.seek(m_end);
            continue;
        }
        const QByteArray payload = file.read(frame.length);
        m_end = file.pos();
        std::optional<FixRecord> record;
        if (JournalFrame::matches(header, payload))
            record = decode(payload);
        if (!record) {
            Log::line(QStringLiteral("A damaged entry of the history was skipped"));
            continue;
        }
        record->offset = start;
        record->size = m_end - start;
        index(*record);
    }
}

void FixJournal::index(FixRecord record)
{
    if (record.kind == FixRecord::Kind::fix) {
        m_leftAlone.remove(record.path);
        ++m_fixCount;
    } else {
        if (FixRecord *target = recordOf(record.undoes))
            target->undoneBy = record.id;
        m_leftAlone.insert(record.path, record.digestBefore);
    }
    m_records.append(std::move(record));
}

void FixJournal::compactIfNeeded()
{
    // Rewritten once the file holds twice the fixes shown, or more than its size: a run that
    // fixes thousands of files rewrites it once per thousand, not once per fix.
    if (m_fixCount <= 2 * m_limits.fixes && m_end <= m_limits.bytes)
        return;
    // The newest fixes within the count and three quarters of the size.
    const qint64 budget = m_limits.bytes - m_limits.bytes / 4;
    QSet<quint64> keptFixes;
    qint64 bytes = 0;
    for (qsizetype at = m_records.size() - 1; at >= 0; --at) {
        const FixRecord &record = m_records.at(at);
        if (record.kind != FixRecord::Kind::fix)
            continue;
        if (keptFixes.size() >= m_limits.fixes || bytes + record.size > budget)
            break; // older ones go first
        keptFixes.insert(record.id);
        bytes += record.size;
    }
    QList<FixRecord> kept;
    for (const FixRecord &record : std::as_const(m_records)) {
        if (keptFixes.contains(record.kind == FixRecord::Kind::fix ? record.id : record.undoes))
            kept.append(record);
    }
    if (!rewrite(kept))
        Log::line(QStringLiteral("The history could not be trimmed: ") + fileName());
}

bool FixJournal::rewrite(const QList<FixRecord> &kept)
{
    QFile old(fileName());
    QSaveFile next(fileName());
    if (!old.open(QIODevice::ReadOnly) || !next.open(QIODevice::WriteOnly) ||
        !next.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return false;
    for (const FixRecord &record : kept) {
        if (!old.seek(record.offset) || next.write(old.read(record.size)) != record.size)
            return false;
    }
    if (!next.commit())
        return false;
    reset();
    syncLocked();
    return true;
}

// The history holds the user's sources: for their eyes only, like the files it was made from
// may be.
void FixJournal::makeFolder() const
{
    if (QFileInfo::exists(m_folder) || !QDir().mkpath(m_folder))
        return;
    QFile::setPermissions(m_folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void FixJournal::reset()
{
    m_records.clear();
    m_leftAlone.clear();
    m_end = 0;
    m_inode = 0;
    m_fixCount = 0;
}

FixRecord *FixJournal::recordOf(quint64 id)
{
    for (qsizetype at = m_records.size() - 1; at >= 0; --at) {
        if (m_records.at(at).id == id)
            return &m_records[at];
    }
    return nullptr;
}

bool FixJournal::refreshLocked()
{
    struct stat info = {};
    const bool exists = ::stat(QFile::encodeName(fileName()).constData(), &info) == 0;
    if (exists && quint64(info.st_ino) == m_inode && info.st_size == m_end)
        return false;
    if (!exists && m_inode == 0)
        return false;
    FileLock fileLock(m_folder + QStringLiteral("/fixes.lock"), LOCK_SH);
    return syncLocked();
}

QList<FixRecord> FixJournal::fixes()
{
    QMutexLocker lock(&m_mutex);
    refreshLocked();
    QList<FixRecord> newest;
    for (qsizetype at = m_records.size() - 1; at >= 0; --at) {
        const FixRecord &record = m_records.at(at);
        if (newest.size() >= m_limits.fixes)
            break;
        if (record.kind == FixRecord::Kind::fix)
            newest.append(record);
    }
    return newest;
}

std::optional<FixRecord> FixJournal::find(quint64 id)
{
    QMutexLocker lock(&m_mutex);
    refreshLocked();
    if (const FixRecord *record = recordOf(id))
        return *record;
    return std::nullopt;
}

std::optional<QByteArray> FixJournal::contentBefore(quint64 id)
{
    const std::optional<Blobs> blobs = blobsOf(id);
    if (!blobs)
        return std::nullopt;
    QByteArray before = qUncompress(blobs->before);
    const std::optional<FixRecord> record = find(id);
    // What undo writes back must be what the file held, to the byte.
    if (!record || digestOf(before) != record->digestBefore)
        return std::nullopt;
    return before;
}

std::optional<QByteArray> FixJournal::diff(quint64 id)
{
    const std::optional<Blobs> blobs = blobsOf(id);
    if (!blobs)
        return std::nullopt;
    return qUncompress(blobs->diff);
}

std::optional<FixJournal::Blobs> FixJournal::blobsOf(quint64 id)
{
    QMutexLocker lock(&m_mutex);
    // Held from the look-up to the read, so that no rewrite moves the entry in between.
    FileLock fileLock(m_folder + QStringLiteral("/fixes.lock"), LOCK_SH);
    syncLocked();
    const FixRecord *record = recordOf(id);
    if (!record || record->kind != FixRecord::Kind::fix)
        return std::nullopt;
    QFile file(fileName());
    if (!file.open(QIODevice::ReadOnly) || !file.seek(record->offset))
        return std::nullopt;
    const QByteArray header = file.read(JournalFrame::headerSize);
    const QByteArray payload = file.read(record->size - JournalFrame::headerSize);
    Blobs blobs;
    if (!JournalFrame::matches(header, payload) || !decode(payload, &blobs.before, &blobs.diff))
        return std::nullopt;
    return blobs;
}

Result<FixRecord> FixJournal::recordUndo(const FixRecord &fix)
{
    FixRecord undo = fix;
    undo.kind = FixRecord::Kind::undo;
    undo.time = m_clock();
    undo.run.clear();
    undo.undoes = fix.id;
    undo.undoneBy = 0;
    std::swap(undo.added, undo.removed);
    return append(undo, {});
}

void FixJournal::leaveAlone(const QString &path, const QByteArray &digest)
{
    QMutexLocker lock(&m_mutex);
    m_leftAlone.insert(path, digest);
}

void FixJournal::forget(const QString &path)
{
    QMutexLocker lock(&m_mutex);
    m_leftAlone.remove(path);
}

bool FixJournal::leavesAlone(const QString &path)
{
    QByteArray putBack;
    {
        QMutexLocker lock(&m_mutex);
        refreshLocked();
        putBack = m_leftAlone.value(path);
    }
    if (putBack.isEmpty())
        return false;
    QByteArray now;
    if (PosixFiles::readRegular(QFile::encodeName(path).constData(), kLargestFile, now) &&
        digestOf(now) == putBack)
        return true;
    // The user saved something else: from now on it is formatted as usual.
    QMutexLocker lock(&m_mutex);
    if (m_leftAlone.value(path) == putBack)
        m_leftAlone.remove(path);
    return false;
}

Result<void> FixJournal::clear()
{
    {
        QMutexLocker lock(&m_mutex);
        makeFolder();
        FileLock fileLock(m_folder + QStringLiteral("/fixes.lock"), LOCK_EX);
        QFile file(fileName());
        if (!fileLock || (file.exists() && !file.resize(0)))
            return historyError(QStringLiteral("cannot empty ") + fileName());
        reset();
        syncLocked();
    }
    Q_EMIT changed();
    return {};
}
