// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/MarkupTreeScan.h"
#include "core/markups/MarkupWatcher.h"
#include "core/support/SprucerLogger.h"
#include "support/LogFile.h"
#include "support/TestMain.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
const QStringList kExtensions{u"cpp"_s, u"h"_s, u"café"_s};
} // namespace

class TestMarkupWatcher : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;

    QString pathOf(const QString &relativePath) const { return m_root + u'/' + relativePath; }

    void write(const QString &relativePath, const QByteArray &bytes)
    {
        QVERIFY(QDir().mkpath(QFileInfo(pathOf(relativePath)).absolutePath()));
        QFile file(pathOf(relativePath));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }

    // "relative/path:line:TYPE:text" per finding, in result order.
    QStringList describe(const MarkupList &markups) const
    {
        QStringList lines;
        for (const Markup &markup : markups)
            lines << markup.filePath.mid(m_root.size() + 1) +
                         u":%1:%2:%3"_s.arg(markup.line).arg(markup.type, markup.text);
        return lines;
    }

    QStringList collect(const QString &root) const
    {
        return describe(MarkupWatcher::collectMarkups(QUrl::fromLocalFile(root), kExtensions));
    }

private Q_SLOTS:
    void init()
    {
        SprucerLogger::shared().flush();
        TestHome::current().reset();
        m_dir = std::make_unique<QTemporaryDir>();
        m_root = m_dir->path();
    }

    void scansVisibleFilesWithAListedExtension_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("scanned");
        QTest::newRow("listed") << u"a.cpp"_s << true;
        QTest::newRow("upper case") << u"Upper.CPP"_s << true;
        QTest::newRow("non-ASCII") << u"Notes.CAFÉ"_s << true;
        QTest::newRow("nested, last dot counts") << u"sub/v1.2/lib.v2.h"_s << true;
        QTest::newRow("earlier dot") << u"notes.cpp.bak"_s << false;
        QTest::newRow("hidden file") << u".hidden.cpp"_s << false;
        QTest::newRow("hidden directory") << u"sub/.build/deep/y.cpp"_s << false;
        QTest::newRow("package") << u"Tool.app/Contents/z.cpp"_s << false;
        QTest::newRow("package, upper case") << u"Proj.XcodeProj/p.h"_s << false;
    }

    void scansVisibleFilesWithAListedExtension()
    {
        QFETCH(QString, path);
        QFETCH(bool, scanned);
        write(path, "x\r\n// TODO: found\n");
        // Links are never followed, not even to the file's own directory; opening a pipe would
        // wait for a writer.
        QVERIFY(QFile::link(pathOf(path), pathOf(u"link.cpp"_s)));
        QVERIFY(QFile::link(QFileInfo(pathOf(path)).absolutePath(), pathOf(u"up"_s)));
        QCOMPARE(::mkfifo(QFile::encodeName(pathOf(u"pipe.cpp"_s)).constData(), 0600), 0);
        QCOMPARE(collect(m_root), scanned ? QStringList{path + u":3:TODO:found"_s} : QStringList());
        QCOMPARE(MarkupWatcher::collectMarkups(QUrl::fromLocalFile(m_root), {}), MarkupList());
        QCOMPARE(LogFile::messages(), QStringList());
    }

    void failuresAreLoggedAndPassedOver()
    {
        write(u"good.cpp"_s, "TODO: good\n");
        write(u"latin1.cpp"_s, "// caf\xe9\nTODO: lost\n");
        // Broken only after several chunks with findings: none of them may survive.
        write(u"late.h"_s, "TODO: early\n" + QByteArray(600 * 1024, 'x') + "\xc3(\n");
        QStringList unreadable{u"late.h"_s, u"latin1.cpp"_s};
        if (::geteuid() != 0) { // permissions do not stop root
            write(u"locked/in.cpp"_s, "TODO: unreachable\n");
            write(u"secret.cpp"_s, "TODO: unreadable\n");
            QFile::setPermissions(pathOf(u"locked"_s), {});
            QFile::setPermissions(pathOf(u"secret.cpp"_s), {});
            unreadable << u"secret.cpp"_s;
        }
        // Sparse: larger than any source, and never read.
        write(u"huge.cpp"_s, "TODO: too far\n");
        QVERIFY(QFile::resize(pathOf(u"huge.cpp"_s), 17 * 1024 * 1024));
        QCOMPARE(collect(m_root), QStringList{u"good.cpp:1:TODO:good"_s});
        QFile::setPermissions(pathOf(u"locked"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QStringList logged =
            LogFile::messages()
                .replaceInStrings(u"Failed to read file: "_s + m_root + u'/', QString())
                .replaceInStrings(u"Not scanned for TODOs (larger than 16 MiB): "_s + m_root + u'/',
                                  u"(larger than 16 MiB) "_s);
        logged.sort();
        QCOMPARE(logged, QStringList{u"(larger than 16 MiB) huge.cpp"_s} + unreadable);
        // A root that cannot be listed gives nothing.
        for (const QString &root : {pathOf(u"missing"_s), pathOf(unreadable[0])}) {
            QCOMPARE(collect(root), QStringList());
            QCOMPARE(LogFile::messages().constLast(), u"Failed to create enumerator for "_s + root);
        }
    }

    void findingsComeInWalkOrderWhateverTheThreads()
    {
        // Files of many sizes, one of them read in several chunks, each finding naming its file.
        QStringList directories{QString()};
        for (int i = 0; i < 30; ++i)
            directories << directories[i * 7 % directories.size()] + u"d%1/"_s.arg(i);
        for (int f = 0; f < directories.size() * 6; ++f) {
            const QString path = directories[f / 6] + u"f%1.cpp"_s.arg(f);
            QByteArray content;
            for (int line = 1; line <= (f == 100 ? 40000 : f * 3); ++line)
                content +=
                    line % 997 ? "    int value = other.size(); // note:\n" : "// FIXME: é\n";
            write(path, content + "TODO: " + path.toUtf8());
        }
        const QStringList single = describe(MarkupTreeScan::run(m_root, kExtensions, 1));
        QCOMPARE(single.size(), directories.size() * 6 + 40);
        QVERIFY(single.contains(directories[16] + u"f100.cpp:39880:FIXME:é"_s));
        // Depth first: each directory's subtree is one run, whichever reader finishes first.
        for (const QString &directory : directories) {
            const QStringList subtree = single.filter(QRegularExpression(u'^' + directory));
            QCOMPARE(single.mid(single.indexOf(subtree.first()), subtree.size()), subtree);
        }
        for (const int threads : {2, 4, 8})
            QCOMPARE(describe(MarkupTreeScan::run(m_root, kExtensions, threads)), single);

        // The same scan behind scanDirectory, answered once on the main thread, even after the
        // watcher is gone.
        QList<QStringList> received;
        const auto completion = [&](MarkupList found) {
            QCOMPARE(QThread::currentThread(), qApp->thread());
            received << describe(found);
        };
        QVERIFY(QDir().mkpath(pathOf(u"empty"_s)));
        auto watcher = std::make_unique<MarkupWatcher>();
        watcher->scanDirectory(QUrl::fromLocalFile(m_root + u'/'), kExtensions, completion);
        watcher->scanDirectory(QUrl::fromLocalFile(pathOf(u"empty"_s)), kExtensions, completion);
        watcher->scanDirectory(QUrl::fromLocalFile(m_root), kExtensions, {}); // nowhere to answer
        watcher.reset();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(10000));
        QCoreApplication::processEvents();
        std::sort(received.begin(), received.end()); // the scans run side by side
        QCOMPARE(received, (QList<QStringList>{{}, single}));
        // Directory URLs end in a slash; the log shows the plain path.
        QCOMPARE(LogFile::messages().filter(m_root + u"..."_s),
                 QStringList(2, u"Running preliminary checks in "_s + m_root + u"..."_s));
    }
};

SPRUCER_TEST_MAIN(TestMarkupWatcher)
#include "TestMarkupWatcher.moc"
