// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/LocalPath.h"
#include "core/support/UserDefaults.h"
#include "core/watching/SecurityScopedResourceManager.h"
#include "support/LogFile.h"
#include "support/TestMain.h"

#include <QDir>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

QVariantMap storedBookmarks()
{
    return TestHome::settings().value(SecurityScopedResourceManager::bookmarkKey).toMap();
}

} // namespace

class TestSecurityScopedResourceManager : public QObject
{
    Q_OBJECT

    SecurityScopedResourceManager manager{TestHome::settings()};
    QTemporaryDir parent;
    const QString path = parent.filePath(u"project"_s);

private Q_SLOTS:
    void init()
    {
        TestHome::current().reset();
        QVERIFY(QDir(path).removeRecursively() && QDir().mkpath(path));
    }

    void aSavedBookmarkResolvesUnderItsPath()
    {
        QVERIFY(!manager.resolveBookmark(path));
        QVERIFY(manager.saveBookmark(QUrl::fromLocalFile(path + u'/')));
        QCOMPARE(storedBookmarks().keys(), QStringList{path});
        QCOMPARE(storedBookmarks().value(path).typeId(), QMetaType::QByteArray);
        const std::optional<QUrl> resolved = manager.resolveBookmark(path);
        QCOMPARE(LocalPath::fromUrl(resolved.value()), path);
        QVERIFY(manager.startAccessing(*resolved));

        const QUrl missing = QUrl::fromLocalFile(path + u"/missing/"_s);
        QVERIFY(!manager.saveBookmark(missing) && !manager.startAccessing(missing));
        QCOMPARE(storedBookmarks().size(), 1);
    }

    // The caller then makes a fresh one, which replaces the corrupt entry.
    void corruptOrVanishedBookmarksAreLoggedAndResolveToNothing()
    {
        TestHome::settings().setValue(SecurityScopedResourceManager::bookmarkKey,
                                      QVariantMap{{path, QByteArray("garbage")}});
        QVERIFY(!manager.resolveBookmark(path));
        QVERIFY(LogFile::messages().last().startsWith(u"Failed to resolve bookmark: "_s));
        QVERIFY(manager.saveBookmark(QUrl::fromLocalFile(path)) && manager.resolveBookmark(path));

        QVERIFY(QDir(path).removeRecursively());
        QVERIFY(!manager.resolveBookmark(path));
        QVERIFY(LogFile::messages().last().contains(path));
    }

    // A checkout recreated at the same place: a new inode behind the same path.
    void aFolderReplacedAtItsPathRenewsTheBookmark()
    {
        QVERIFY(manager.saveBookmark(QUrl::fromLocalFile(path)));
        const QByteArray before = storedBookmarks().value(path).toByteArray();
        QVERIFY(QDir().rename(path, path + u".old"_s) && QDir().mkpath(path));
        QVERIFY(manager.resolveBookmark(path));
        const QByteArray after = storedBookmarks().value(path).toByteArray();
        QVERIFY(after != before);
        QCOMPARE(SecurityScopedResourceManager::parseBookmark(after)->path, path);
        QVERIFY(QDir(path + u".old"_s).removeRecursively());
    }
};

SPRUCER_TEST_MAIN(TestSecurityScopedResourceManager)
#include "TestSecurityScopedResourceManager.moc"
