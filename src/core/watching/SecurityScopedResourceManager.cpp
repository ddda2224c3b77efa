// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/SecurityScopedResourceManager.h"

#include "core/support/LocalPath.h"
#include "core/support/Log.h"
#include "core/support/StoredValueBackup.h"
#include "core/support/UserDefaults.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/stat.h>

namespace {

const QString kPath = QStringLiteral("path");
const QString kDevice = QStringLiteral("device");
const QString kInode = QStringLiteral("inode");

Error bookmarkError(qint64 code, const QString &description)
{
    return Error{QStringLiteral("SecurityScopedResourceManager"), code, description};
}

std::optional<struct stat> directoryStatus(const QString &path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISDIR(status.st_mode))
        return std::nullopt;
    return status;
}

} // namespace

Result<QByteArray> SecurityScopedResourceManager::makeBookmark(const QString &path)
{
    const std::optional<struct stat> status = directoryStatus(path);
    if (!status) {
        return bookmarkError(
            4, QStringLiteral("The folder \"%1\" doesn't exist or is not a folder.").arg(path));
    }
    const QJsonObject record{{kPath, path},
                             {kDevice, QString::number(status->st_dev)},
                             {kInode, QString::number(status->st_ino)}};
    return QJsonDocument(record).toJson(QJsonDocument::Compact);
}

std::optional<SecurityScopedResourceManager::Bookmark>
SecurityScopedResourceManager::parseBookmark(const QByteArray &data)
{
    const QJsonObject record = QJsonDocument::fromJson(data).object();
    bool deviceOk = false;
    bool inodeOk = false;
    Bookmark bookmark{record.value(kPath).toString(),
                      record.value(kDevice).toString().toULongLong(&deviceOk),
                      record.value(kInode).toString().toULongLong(&inodeOk)};
    if (bookmark.path.isEmpty() || !QDir::isAbsolutePath(bookmark.path) || !deviceOk || !inodeOk)
        return std::nullopt;
    return bookmark;
}

QVariantMap SecurityScopedResourceManager::storedBookmarks() const
{
    const QVariant stored = m_settings.value(bookmarkKey);
    QVariantMap bookmarks = stored.toMap();
    const qsizetype dropped = bookmarks.removeIf(
        [](const auto &entry) { return entry.value().typeId() != QMetaType::QByteArray; });
    const bool isMap = stored.typeId() == QMetaType::QVariantMap;
    if (stored.isValid() && (!isMap || dropped > 0))
        StoredValueBackup::keep(m_settings, bookmarkKey, stored);
    return bookmarks;
}

Result<QByteArray> SecurityScopedResourceManager::saveBookmark(const QUrl &directory)
{
    const QString path = LocalPath::fromUrl(directory);
    Result<QByteArray> bookmark = makeBookmark(path);
    if (!bookmark)
        return bookmark;
    QVariantMap bookmarks = storedBookmarks();
    bookmarks.insert(path, bookmark.value());
    m_settings.setValue(bookmarkKey, bookmarks);
    return bookmark;
}

std::optional<QUrl> SecurityScopedResourceManager::resolveBookmark(const QString &path)
{
    QVariantMap bookmarks = storedBookmarks();
    const auto stored = bookmarks.constFind(path);
    if (stored == bookmarks.cend())
        return std::nullopt;

    const std::optional<Bookmark> bookmark = parseBookmark(stored->toByteArray());
    const std::optional<struct stat> status =
        bookmark ? directoryStatus(bookmark->path) : std::nullopt;
    if (!status) {
        const Error error =
            bookmark
                ? bookmarkError(
                      4, QStringLiteral("The folder \"%1\" doesn't exist.").arg(bookmark->path))
                : bookmarkError(259, QStringLiteral("The bookmark data is corrupted."));
        Log::line(QStringLiteral("Failed to resolve bookmark: ") + error.fullDescription());
        return std::nullopt;
    }

    const bool stale = status->st_dev != bookmark->device || status->st_ino != bookmark->inode;
    if (stale) {
        // Another directory now stands at the path: renew under the path the caller gave.
        if (Result<QByteArray> renewed = makeBookmark(bookmark->path)) {
            bookmarks.insert(path, renewed.value());
            m_settings.setValue(bookmarkKey, bookmarks);
        }
    }
    return LocalPath::directoryUrl(bookmark->path);
}

bool SecurityScopedResourceManager::startAccessing(const QUrl &directory) const
{
    const QFileInfo info(LocalPath::fromUrl(directory));
    return info.isDir() && info.isReadable() && info.isExecutable();
}

void SecurityScopedResourceManager::stopAccessing(const QUrl &) const
{
    // Nothing is held on Linux; kept so callers pair every grant with a release.
}
