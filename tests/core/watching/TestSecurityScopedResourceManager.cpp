// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/LocalPath.h"
#include "core/support/UserDefaults.h"
#include "core/watching/SecurityScopedResourceManager.h"
#include "support/LogFile.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

QVariantMap storedBookmarks()
{
    return UserDefaults::value(SecurityScopedResourceManager::bookmarkKey).toMap();
}

} // namespace

class TestSecurityScopedResourceManager : public QObject
{
    Q_OBJECT

    SecurityScopedResourceManager manager;

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    void aSavedBookmarkResolvesUnderItsPath()
    {
        QTemporaryDir project;
        const QUrl url = QUrl::fromLocalFile(project.path() + u'/');
        QVERIFY(!manager.resolveBookmark(project.path()));
        QVERIFY(manager.saveBookmark(url));
        QCOMPARE(storedBookmarks().keys(), QStringList{project.path()});
        QCOMPARE(storedBookmarks().value(project.path()).typeId(), QMetaType::QByteArray);

        const std::optional<QUrl> resolved = manager.resolveBookmark(project.path());
        QVERIFY(resolved);
        QCOMPARE(LocalPath::fromUrl(*resolved), project.path());
        QVERIFY(manager.startAccessing(*resolved));
    }

    void aMissingFolderCannotBeBookmarkedOrAccessed()
    {
        const QUrl missing = QUrl::fromLocalFile(QStringLiteral("/nonexistent/sprucer/dir/"));
        QVERIFY(!manager.saveBookmark(missing));
        QVERIFY(!manager.startAccessing(missing));
        QVERIFY(storedBookmarks().isEmpty());
    }

    void corruptOrVanishedBookmarksLogAndResolveToNothing()
    {
        QTemporaryDir project;
        UserDefaults::setValue(SecurityScopedResourceManager::bookmarkKey,
                               QVariantMap{{project.path(), QByteArray("garbage")}});
        QVERIFY(!manager.resolveBookmark(project.path()));
        QVERIFY(
            LogFile::messages().last().startsWith(QStringLiteral("Failed to resolve bookmark: ")));
        // The caller then makes a fresh one, which replaces the corrupt entry.
        QVERIFY(manager.saveBookmark(QUrl::fromLocalFile(project.path())));
        QVERIFY(manager.resolveBookmark(project.path()));

        const QString path = project.path();
        project.remove();
        QVERIFY(!manager.resolveBookmark(path));
        QVERIFY(LogFile::messages().last().contains(path));
    }

    void aFolderReplacedAtItsPathRenewsTheBookmark()
    {
        QTemporaryDir parent;
        const QString path = parent.path() + QStringLiteral("/project");
        QVERIFY(QDir().mkpath(path));
        QVERIFY(manager.saveBookmark(QUrl::fromLocalFile(path)));
        const QByteArray before = storedBookmarks().value(path).toByteArray();

        // A checkout recreated at the same place: a new inode behind the same path.
        QVERIFY(QDir().rename(path, path + QStringLiteral(".old")));
        QVERIFY(QDir().mkpath(path));
        QVERIFY(manager.resolveBookmark(path));
        const QByteArray after = storedBookmarks().value(path).toByteArray();
        QVERIFY(after != before);
        QCOMPARE(SecurityScopedResourceManager::parseBookmark(after)->path, path);
    }

    void aDictionaryWithForeignValuesIsStartedAfresh()
    {
        QTemporaryDir project;
        UserDefaults::setValue(SecurityScopedResourceManager::bookmarkKey,
                               QVariantMap{{QStringLiteral("/x"), 42}});
        QVERIFY(manager.saveBookmark(QUrl::fromLocalFile(project.path())));
        QCOMPARE(storedBookmarks().keys(), QStringList{project.path()});
    }
};

SPRUCER_TEST_MAIN(TestSecurityScopedResourceManager)
#include "TestSecurityScopedResourceManager.moc"
