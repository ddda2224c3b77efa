// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/FormattedFileCache.h"

#include "core/support/Log.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>

namespace {

// Which cache this is and which form: another form is a miss, never a misreading.
const QByteArray kMagic = QByteArrayLiteral("sprucer formatted files 2\n");

QByteArray sha256(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

bool sameVersion(const SavedFile::Identity &one, const SavedFile::Identity &other)
{
    return one.device == other.device && one.inode == other.inode && one.size == other.size &&
           one.modifiedNs == other.modifiedNs;
}

QDataStream &operator<<(QDataStream &out, const SavedFile::Identity &identity)
{
    return out << quint64(identity.device) << quint64(identity.inode) << identity.size
               << identity.modifiedNs;
}

QDataStream &operator>>(QDataStream &in, SavedFile::Identity &identity)
{
    quint64 device = 0;
    quint64 inode = 0;
    in >> device >> inode >> identity.size >> identity.modifiedNs;
    identity.device = dev_t(device);
    identity.inode = ino_t(inode);
    return in;
}

} // namespace

FormattedFileCache::FormattedFileCache(QString file)
    : m_file(std::move(file))
{}

FormattedFileCache::~FormattedFileCache()
{
    save();
}

QByteArray FormattedFileCache::stamp(const QString &toolPath, const QString &configPath)
{
    QFile configuration(configPath);
    if (toolPath.isEmpty() || !configuration.open(QIODevice::ReadOnly))
        return {};
    const QByteArray version = toolVersion(toolPath);
    if (version.isEmpty())
        return {};
    return sha256(version + '\0' + configuration.readAll());
}

QByteArray FormattedFileCache::toolVersion(const QString &toolPath)
{
    const QFileInfo executable(toolPath);
    const QByteArray key = toolPath.toUtf8() + '\0' + QByteArray::number(executable.size()) + '\0' +
                           QByteArray::number(executable.lastModified().toMSecsSinceEpoch());
    {
        const QMutexLocker lock(&m_mutex);
        load();
        if (const auto known = m_versions.constFind(key); known != m_versions.cend())
            return *known;
    }
    QProcess tool;
    tool.start(toolPath, {QStringLiteral("--version")});
    QByteArray version;
    if (tool.waitForFinished(10000) && tool.exitStatus() == QProcess::NormalExit &&
        tool.exitCode() == 0)
        version = tool.readAllStandardOutput().trimmed();
    const QMutexLocker lock(&m_mutex);
    if (!version.isEmpty()) {
        m_versions.insert(key, version);
        m_dirty = true;
    }
    return version;
}

bool FormattedFileCache::isFormatted(const SavedFile &file, const QByteArray &stamp)
{
    if (stamp.isEmpty() || !file.isWhole())
        return false;
    const QMutexLocker lock(&m_mutex);
    load();
    const auto found = m_entries.constFind(file.path());
    return found != m_entries.cend() && found->stamp == stamp &&
           sameVersion(found->identity, file.identity()) && found->digest == sha256(file.bytes());
}

void FormattedFileCache::rememberFormatted(const SavedFile &file, const QByteArray &stamp)
{
    if (stamp.isEmpty() || !file.isWhole())
        return;
    const QMutexLocker lock(&m_mutex);
    load();
    if (m_entries.size() >= maxEntries)
        m_entries.clear();
    m_entries.insert(file.path(), Entry{file.identity(), sha256(file.bytes()), stamp});
    m_dirty = true;
}

void FormattedFileCache::forget(const QString &path)
{
    const QMutexLocker lock(&m_mutex);
    load();
    m_dirty = m_entries.remove(path) || m_dirty;
}

void FormattedFileCache::load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    QFile file(m_file);
    if (m_file.isEmpty() || !file.open(QIODevice::ReadOnly))
        return;
    const QByteArray all = file.readAll();
    const qsizetype digestSize = 32;
    if (!all.startsWith(kMagic) || all.size() < kMagic.size() + digestSize)
        return;
    const QByteArray payload = all.mid(kMagic.size() + digestSize);
    if (sha256(payload) != all.mid(kMagic.size(), digestSize))
        return; // torn or damaged: rebuilt by use
    QDataStream in(payload);
    QHash<QString, Entry> entries;
    qint64 count = 0;
    in >> count;
    for (qint64 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QString path;
        Entry entry;
        in >> path >> entry.identity >> entry.digest >> entry.stamp;
        entries.insert(path, entry);
    }
    // Asking a tool its version costs a process start as long as a check of a formatted tree.
    QHash<QByteArray, QByteArray> versions;
    in >> versions;
    if (in.status() == QDataStream::Ok && entries.size() <= maxEntries) {
        m_entries = std::move(entries);
        m_versions = std::move(versions);
    }
}

void FormattedFileCache::saveIfDue()
{
    constexpr qint64 kEveryMs = 5000;
    {
        const QMutexLocker lock(&m_mutex);
        if (m_sinceSave.isValid() && m_sinceSave.elapsed() < kEveryMs)
            return;
    }
    save();
}

bool FormattedFileCache::save()
{
    const QMutexLocker lock(&m_mutex);
    m_sinceSave.start();
    if (!m_dirty || m_file.isEmpty())
        return true;
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out << qint64(m_entries.size());
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it)
        out << it.key() << it->identity << it->digest << it->stamp;
    out << m_versions;
    QDir().mkpath(QFileInfo(m_file).path());
    QSaveFile file(m_file);
    if (!file.open(QIODevice::WriteOnly) || file.write(kMagic + sha256(payload) + payload) < 0 ||
        !file.commit()) {
        Log::line(QStringLiteral("Could not keep the list of formatted files in ") + m_file +
                  QStringLiteral(": ") + file.errorString());
        return false;
    }
    m_dirty = false;
    return true;
}
