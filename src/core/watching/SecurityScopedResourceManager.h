// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/support/Result.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

class UserDefaults;

// Remembers the watched directories across runs under "DirectoryBookmarks": path → bookmark.
// Linux has no sandbox, so a bookmark is our own small record of the directory's path, device
// and inode; access is granted while the directory exists and can be read. Main thread only.
// Directories are keyed by their normal local path (LocalPath).
class SecurityScopedResourceManager
{
public:
    static inline const QString bookmarkKey = QStringLiteral("DirectoryBookmarks");

    explicit SecurityScopedResourceManager(UserDefaults &settings)
        : m_settings(settings)
    {}

    // Makes and stores a bookmark for a directory; fails when the directory cannot be reached.
    Result<QByteArray> saveBookmark(const QUrl &directory);
    // The directory of the bookmark stored under `path`; a stale bookmark is renewed.
    std::optional<QUrl> resolveBookmark(const QString &path);

    // Whether the directory may be used now (exists, is a directory, can be listed).
    bool startAccessing(const QUrl &directory) const;
    void stopAccessing(const QUrl &directory) const;

    // The stored form of a bookmark, and its reading; exposed for tests.
    static Result<QByteArray> makeBookmark(const QString &path);
    struct Bookmark
    {
        QString path;
        quint64 device = 0;
        quint64 inode = 0;
    };
    static std::optional<Bookmark> parseBookmark(const QByteArray &data);

private:
    // The entries that are byte strings; a value with any other is backed up.
    QVariantMap storedBookmarks() const;

    UserDefaults &m_settings;
};
