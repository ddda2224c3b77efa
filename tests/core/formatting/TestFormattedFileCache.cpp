// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/FormattedFileCache.h"
#include "support/StandInTool.h"
#include "support/TestMain.h"

#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

SavedFile read(const QString &path)
{
    return SavedFile::read(path, 1 << 20).value();
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Puts the file's modification time back to what `before` held: a save within the clock's tick.
void keepTime(const QString &path, const SavedFile &before)
{
    const qint64 ns = before.identity().modifiedNs;
    const timespec times[2] = {{0, UTIME_OMIT}, {time_t(ns / 1000000000), long(ns % 1000000000)}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

} // namespace

class TestFormattedFileCache : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A remembered version is known only as long as the file, its bytes and the stamp hold.
    void knowsOnlyTheVersionItRemembered()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"a.cpp"_s);
        write(path, "int a;\n");
        FormattedFileCache cache({});
        const SavedFile formatted = read(path);
        cache.rememberFormatted(formatted, "stamp");
        QVERIFY(cache.isFormatted(read(path), "stamp"));
        QVERIFY(!cache.isFormatted(read(path), "other configuration or tool"));

        write(path, "int b;\n"); // same size, and the same time: only the bytes tell
        keepTime(path, formatted);
        QVERIFY(read(path).identity().modifiedNs == formatted.identity().modifiedNs);
        QVERIFY(!cache.isFormatted(read(path), "stamp"));

        write(path, "int a;\n");
        keepTime(path, formatted);
        QVERIFY(cache.isFormatted(read(path), "stamp"));
        cache.forget(path);
        QVERIFY(!cache.isFormatted(read(path), "stamp"));
    }

    // What one run learnt, the next reads; a damaged or torn file is trusted in nothing.
    void keepsWhatItLearntAndTrustsNoDamagedFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"a.cpp"_s);
        const QString store = dir.filePath(u"cache/formatted"_s);
        write(path, "int a;\n");
        {
            FormattedFileCache cache(store);
            cache.rememberFormatted(read(path), "stamp");
        }
        QVERIFY(FormattedFileCache(store).isFormatted(read(path), "stamp"));

        QFile file(store);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        bytes[bytes.size() - 3] = char(bytes[bytes.size() - 3] ^ 1);
        file.seek(0);
        file.write(bytes);
        file.close();
        QVERIFY(!FormattedFileCache(store).isFormatted(read(path), "stamp"));
        QVERIFY(file.resize(bytes.size() / 2));
        QVERIFY(!FormattedFileCache(store).isFormatted(read(path), "stamp"));
    }

    // The stamp follows the configuration's text and the tool's version.
    void stampFollowsTheConfigurationAndTheToolsVersion()
    {
        QTemporaryDir dir;
        const QString configuration = dir.filePath(u"style"_s);
        write(configuration, "BasedOnStyle: LLVM\n");
        const QString tool =
            StandInTool::write(dir.path(), u"formatter"_s, u"echo \"formatter version 1\""_s);
        FormattedFileCache cache({});
        const QByteArray first = cache.stamp(tool, configuration);
        QVERIFY(!first.isEmpty());
        QCOMPARE(cache.stamp(tool, configuration), first);
        write(configuration, "BasedOnStyle: Google\n");
        QVERIFY(cache.stamp(tool, configuration) != first);

        FormattedFileCache fresh({});
        const QByteArray google = fresh.stamp(tool, configuration);
        StandInTool::write(dir.path(), u"formatter"_s, u"echo \"formatter version 2.0\""_s);
        QVERIFY(FormattedFileCache({}).stamp(tool, configuration) != google);
        QVERIFY(cache.stamp(dir.filePath(u"missing"_s), configuration).isEmpty());
        QVERIFY(cache.stamp(tool, dir.filePath(u"missing"_s)).isEmpty());
    }
};

SPRUCER_TEST_MAIN(TestFormattedFileCache)
#include "TestFormattedFileCache.moc"
