// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/MarkupTreeScan.h"
#include "core/markups/MarkupWatcher.h"
#include "core/support/SprucerLogger.h"
#include "support/LogFile.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QStringList kCpp{QStringLiteral("cpp"), QStringLiteral("hpp"), QStringLiteral("h"),
                       QStringLiteral("c")};

// "relative/path:line:TYPE:text" per finding, in result order.
QStringList describe(const MarkupList &markups, const QString &root)
{
    QStringList lines;
    for (const Markup &markup : markups)
        lines << QStringLiteral("%1:%2:%3:%4")
                     .arg(QDir(root).relativeFilePath(markup.filePath))
                     .arg(markup.line)
                     .arg(markup.type, markup.text);
    return lines;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

} // namespace

class TestMarkupWatcher : public QObject
{
    Q_OBJECT

private:
    QString m_root;
    std::unique_ptr<QTemporaryDir> m_dir;

    void write(const QString &relativePath, const QByteArray &bytes)
    {
        const QString path = m_root + u'/' + relativePath;
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    MarkupList collect(const QStringList &extensions = kCpp)
    {
        return MarkupWatcher::collectMarkups(QUrl::fromLocalFile(m_root), extensions);
    }

private Q_SLOTS:
    void init()
    {
        SprucerLogger::shared().flush();
        TestHome::current().reset();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_root = m_dir->path();
    }

    void scansOnlyVisibleRegularFilesWithListedExtensions()
    {
        write(QStringLiteral("a.cpp"), "// TODO: a\r\nx\r\nFIXME: crlf\r\n");
        write(QStringLiteral("Upper.CPP"), "FIXME: upper\n");
        write(QStringLiteral("lib.v2.h"), "\n\nTODO: last dot\n");
        write(QStringLiteral("sub/deeper/c.c"), "TODO: deep");
        write(QStringLiteral("Readme.TXT"), "TODO: not source\n");
        write(QStringLiteral("Makefile"), "TODO: no extension\n");
        write(QStringLiteral("notes.cpp.bak"), "TODO: wrong extension\n");
        write(QStringLiteral(".hidden.cpp"), "TODO: hidden file\n");
        write(QStringLiteral(".git/x.cpp"), "TODO: hidden directory\n");
        write(QStringLiteral("sub/.build/deep/y.cpp"), "TODO: inside hidden\n");
        write(QStringLiteral("Tool.app/Contents/z.cpp"), "TODO: inside a package\n");
        write(QStringLiteral("Proj.XcodeProj/p.h"), "TODO: inside a package\n");
        QTemporaryDir outside;
        QFile::copy(m_root + QStringLiteral("/a.cpp"), outside.path() + QStringLiteral("/o.cpp"));
        QVERIFY(
            QFile::link(m_root + QStringLiteral("/a.cpp"), m_root + QStringLiteral("/link.cpp")));
        QVERIFY(QFile::link(outside.path(), m_root + QStringLiteral("/linked")));
        QVERIFY(QFile::link(m_root + QStringLiteral("/gone.cpp"),
                            m_root + QStringLiteral("/dangling.cpp")));
        // A pipe must be passed over, not opened and waited on.
        QCOMPARE(
            ::mkfifo(QFile::encodeName(m_root + QStringLiteral("/pipe.cpp")).constData(), 0600), 0);

        const MarkupList markups = collect();
        QCOMPARE(sorted(describe(markups, m_root)),
                 sorted({QStringLiteral("a.cpp:1:TODO:a"), QStringLiteral("a.cpp:5:FIXME:crlf"),
                         QStringLiteral("Upper.CPP:1:FIXME:upper"),
                         QStringLiteral("lib.v2.h:3:TODO:last dot"),
                         QStringLiteral("sub/deeper/c.c:1:TODO:deep")}));
        for (const Markup &markup : markups) {
            QVERIFY(QFileInfo(markup.filePath).isAbsolute());
            QVERIFY(QFileInfo::exists(markup.filePath));
            QVERIFY(!markup.fixed);
        }
        QVERIFY(LogFile::messages().filter(QStringLiteral("Failed")).isEmpty());

        QVERIFY(collect({}).isEmpty());
        write(QStringLiteral("main.Kt"), "TODO: kotlin\n");
        QCOMPARE(describe(collect({QStringLiteral("kt"), QStringLiteral("kts")}), m_root),
                 QStringList{QStringLiteral("main.Kt:1:TODO:kotlin")});
    }

    void filesThatAreNotUtf8AreLoggedAndSkipped()
    {
        write(QStringLiteral("good.cpp"), "TODO: good\n");
        write(QStringLiteral("latin1.cpp"), "// caf\xe9\nTODO: lost\n");
        // Valid for the first chunks and findings there, broken only near the end: nothing of
        // it may survive.
        write(QStringLiteral("late.h"),
              "TODO: early\n" + QByteArray(600 * 1024, 'x') + "\n\xc3(\nTODO: late\n");
        const QString root = m_root;

        QCOMPARE(describe(collect(), m_root), QStringList{QStringLiteral("good.cpp:1:TODO:good")});
        const QStringList failures =
            LogFile::messages().filter(QStringLiteral("Failed to read file: "));
        QCOMPARE(
            sorted(failures),
            sorted({QStringLiteral("Failed to read file: ") + root + QStringLiteral("/latin1.cpp"),
                    QStringLiteral("Failed to read file: ") + root + QStringLiteral("/late.h")}));
    }

    void unreadableItemsArePassedOver()
    {
        if (::geteuid() == 0)
            QSKIP("permissions do not stop root");
        write(QStringLiteral("ok.cpp"), "TODO: ok\n");
        write(QStringLiteral("locked/in.cpp"), "TODO: unreachable\n");
        write(QStringLiteral("secret.cpp"), "TODO: unreadable\n");
        QFile::setPermissions(m_root + QStringLiteral("/locked"), {});
        QFile::setPermissions(m_root + QStringLiteral("/secret.cpp"), {});

        const MarkupList markups = collect();
        QFile::setPermissions(m_root + QStringLiteral("/locked"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(describe(markups, m_root), QStringList{QStringLiteral("ok.cpp:1:TODO:ok")});
        QCOMPARE(LogFile::messages(), QStringList{QStringLiteral("Failed to read file: ") + m_root +
                                                  QStringLiteral("/secret.cpp")});
    }

    void rootThatCannotBeListedGivesNothing()
    {
        const QString missing = m_root + QStringLiteral("/missing");
        QVERIFY(MarkupWatcher::collectMarkups(QUrl::fromLocalFile(missing), kCpp).isEmpty());
        write(QStringLiteral("plain.cpp"), "TODO: a file, not a directory\n");
        const QString file = m_root + QStringLiteral("/plain.cpp");
        QVERIFY(MarkupWatcher::collectMarkups(QUrl::fromLocalFile(file), kCpp).isEmpty());
        QCOMPARE(LogFile::messages(),
                 (QStringList{QStringLiteral("Failed to create enumerator for ") + missing,
                              QStringLiteral("Failed to create enumerator for ") + file}));
    }

    void largeFilesAreScannedAcrossReads()
    {
        // Long enough for several reads; markups land on both sides of the read boundaries.
        QString content;
        QStringList expected;
        for (int line = 1; line <= 40000; ++line) {
            if (line % 997 == 0) {
                content += QStringLiteral("    // FIXME: line %1 é\n").arg(line);
                expected << QStringLiteral("big.cpp:%1:FIXME:line %1 é").arg(line);
            } else {
                content +=
                    QStringLiteral("    int value%1 = other.size() + %1; // note:\n").arg(line);
            }
        }
        write(QStringLiteral("big.cpp"), content.toUtf8());
        QVERIFY(content.toUtf8().size() > 4 * 256 * 1024);
        QCOMPARE(describe(collect(), m_root), expected);
    }

    void findingsComeInWalkOrderWhateverTheThreads()
    {
        // Every file has a finding naming itself; the order must be a depth-first walk: each
        // directory's files form one contiguous run, whichever reader finished first.
        QStringList directories{QString()};
        for (int i = 0; i < 30; ++i)
            directories << directories[i * 7 % directories.size()] + QStringLiteral("d%1/").arg(i);
        int fileCount = 0;
        for (const QString &directory : directories) {
            for (int f = 0; f < 8; ++f) {
                const QString path = directory + QStringLiteral("f%1.cpp").arg(fileCount++);
                write(path, QByteArray(f * 3000, ' ') + "\nTODO: " + path.toUtf8() + "\n");
            }
        }

        const MarkupList single = MarkupTreeScan::run(m_root, kCpp, 1);
        QCOMPARE(single.size(), fileCount);
        const QStringList order = describe(single, m_root);
        for (const QString &directory : directories) {
            qsizetype first = -1;
            qsizetype last = -1;
            int inside = 0;
            for (qsizetype i = 0; i < order.size(); ++i) {
                if (order[i].startsWith(directory)) {
                    first = first < 0 ? i : first;
                    last = i;
                    ++inside;
                }
            }
            QCOMPARE(last - first + 1, inside);
        }
        for (const int threads : {2, 4, 8})
            QCOMPARE(describe(MarkupTreeScan::run(m_root, kCpp, threads), m_root), order);
        QCOMPARE(describe(collect(), m_root), order);
    }

    void scanDirectoryAnswersOnceOnTheMainThread()
    {
        write(QStringLiteral("a.cpp"), "TODO: one\n");
        write(QStringLiteral("b.h"), "FIXME: two\n");
        MarkupWatcher watcher;
        QCOMPARE(watcher.markupTypes,
                 (QStringList{QStringLiteral("TODO"), QStringLiteral("FIXME")}));

        int calls = 0;
        QThread *thread = nullptr;
        MarkupList received;
        // Directory URLs end in a slash; the log shows the plain path.
        watcher.scanDirectory(QUrl::fromLocalFile(m_root + u'/'), kCpp, [&](MarkupList markups) {
            ++calls;
            thread = QThread::currentThread();
            received = std::move(markups);
        });
        QCOMPARE(calls, 0); // returned before the scan
        QTRY_COMPARE(calls, 1);
        QCOMPARE(thread, QThread::currentThread());
        QCOMPARE(sorted(describe(received, m_root)),
                 sorted({QStringLiteral("a.cpp:1:TODO:one"), QStringLiteral("b.h:1:FIXME:two")}));
        QVERIFY(QThreadPool::globalInstance()->waitForDone(10000));
        QCoreApplication::processEvents();
        QCOMPARE(calls, 1);
        QCOMPARE(LogFile::messages(), QStringList{QStringLiteral("Running preliminary checks in ") +
                                                  m_root + QStringLiteral("...")});

        // Without a completion the result has nowhere to go, which must not bring us down.
        watcher.scanDirectory(QUrl::fromLocalFile(m_root), kCpp, {});
        QVERIFY(QThreadPool::globalInstance()->waitForDone(10000));
        QCoreApplication::processEvents();
    }

    void scanOutlivesTheWatcher()
    {
        write(QStringLiteral("a.cpp"), "TODO: still delivered\n");
        auto *watcher = new MarkupWatcher;
        QPointer<MarkupWatcher> guard(watcher);
        int calls = 0;
        MarkupList received;
        watcher->scanDirectory(QUrl::fromLocalFile(m_root), kCpp, [&](MarkupList markups) {
            ++calls;
            received = std::move(markups);
        });
        delete watcher;
        QVERIFY(guard.isNull());
        QTRY_COMPARE(calls, 1);
        QCOMPARE(describe(received, m_root),
                 QStringList{QStringLiteral("a.cpp:1:TODO:still delivered")});

        // An empty tree still answers, with nothing.
        QTemporaryDir empty;
        MarkupWatcher other;
        calls = 0;
        received = {Markup{}};
        other.scanDirectory(QUrl::fromLocalFile(empty.path()), kCpp, [&](MarkupList markups) {
            ++calls;
            received = std::move(markups);
        });
        QTRY_COMPARE(calls, 1);
        QVERIFY(received.isEmpty());
    }
};

SPRUCER_TEST_MAIN(TestMarkupWatcher)
#include "TestMarkupWatcher.moc"
