// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stats/CodeFixStatistics.h"
#include "support/PrivateCopyFolders.h"
#include "support/SeededHome.h"
#include "support/StandInTool.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The real program, headless, in a seeded home of its own.
struct HeadlessHome : SeededHome
{
    QProcess sprucer;

    void start(const QString &toolsFirst = QString(), int watchers = 1)
    {
        SeededHome::start(sprucer, {u"--headless"_s}, toolsFirst);
        QTRY_VERIFY_WITH_TIMEOUT(sprucer.canReadLine(), 10000);
        QVERIFY(sprucer.readLine().startsWith(
            u"Sprucer is watching %1 of %1 folders"_s.arg(watchers).toUtf8()));
    }

    qint64 terminate() { return SeededHome::terminate(sprucer); }
};

const QString &kWatcherId = SeededHome::watcherId;
// What the process holds in memory now, from /proc.
qint64 residentMegabytes(qint64 pid)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() / 1024;
    }
    return -1;
}

const QByteArray &kUnformatted = SeededHome::unformatted;
const QByteArray &kFormatted = SeededHome::formatted;
constexpr auto readAll = &SeededHome::readAll;
constexpr auto writeFile = &SeededHome::writeFile;

// A clang-format that upper-cases its files, in the home's tools folder; returns the folder.
QString upperCasingTool(const SeededHome &home)
{
    const QString tools = home.path(u"tools"_s);
    StandInTool::write(tools, u"clang-format"_s,
                       u"for f; do case \"$f\" in -*) continue;; esac\n"
                       "  tr a-z A-Z < \"$f\" > \"$f.new\" && mv \"$f.new\" \"$f\"\n"
                       "done"_s);
    return tools;
}

// A regular file in the place of a folder: whatever goes into the folder fails for real.
void swapPaths(const QString &one, const QString &other)
{
    QVERIFY(::renameat2(AT_FDCWD, QFile::encodeName(one).constData(), AT_FDCWD,
                        QFile::encodeName(other).constData(), RENAME_EXCHANGE) == 0);
}

} // namespace

// Runs the real program headless in a home of its own, as a user would run it as a service.
class TestHeadlessMode : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void savesAreFormattedOnceCountedAndStored()
    {
        if (QStandardPaths::findExecutable(u"clang-format"_s).isEmpty())
            QSKIP("clang-format is not installed");
        HeadlessHome h;
        h.start();
        if (QTest::currentTestFailed())
            return;
        const QString main = h.project() + u"/src/main.cpp"_s;
        const QString other = h.project() + u"/src/other.h"_s;
        QVERIFY(writeFile(main, kUnformatted));
        QTRY_COMPARE_WITH_TIMEOUT(readAll(main), kFormatted, 15000);
        // A second save is the sentinel: once it is formatted, the first file's own rewrite has
        // long been reported and must have been ignored.
        QVERIFY(writeFile(other, kUnformatted));
        QTRY_COMPARE_WITH_TIMEOUT(readAll(other), kFormatted, 15000);

        QVERIFY(h.terminate() >= 0);
        QCOMPARE(h.sprucer.readAllStandardOutput().count("Run Fix "), 2);
        QCOMPARE(h.storedCounts(), (QList<CodeCounterModel>{{QUuid::fromString(kWatcherId), 2}}));
        const QSettings stored(h.path(u"config/Velmora/Sprucer.conf"_s), QSettings::IniFormat);
        const auto daily =
            CodeFixStatistics::decode(stored.value(CodeFixStatistics::storageKey).toByteArray());
        QVERIFY(daily.whole() && daily.items.size() == 1);
        QCOMPARE(daily.items.first().language, u"C++"_s);
        QCOMPARE(daily.items.first().count, 2);
    }

    // Pipes and devices named like source, saved beside a real file, neither block a worker
    // nor make the program read without end: the real file is formatted as usual and SIGTERM
    // still ends the program at once.
    void specialFilesNeitherBlockNorGrow()
    {
        HeadlessHome h;
        h.start(upperCasingTool(h));
        if (QTest::currentTestFailed())
            return;
        const QString src = h.project() + u"/src/"_s;
        for (int i = 0; i < 4; ++i) { // one for each worker
            const QByteArray fifo = QFile::encodeName(src + u"pipe%1.cpp"_s.arg(i));
            QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
            // Made, used once and left, as build scripts do.
            const int end = ::open(fifo.constData(), O_RDWR | O_NONBLOCK);
            QVERIFY(end >= 0 && ::write(end, "x", 1) == 1 && ::close(end) == 0);
        }
        QVERIFY(QFile::link(u"/dev/zero"_s, src + u"zero.cpp"_s));
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(src + u"zero.cpp"_s).constData(), nullptr,
                            AT_SYMLINK_NOFOLLOW) == 0);
        const QByteArray node = QFile::encodeName(src + u"node.cpp"_s);
        if (::mknod(node.constData(), S_IFCHR | 0600, makedev(1, 5)) == 0) // where it may be
            QVERIFY(writeFile(QFile::decodeName(node), "\n"));             // reported like a save
        const QString main = src + u"main.cpp"_s;
        QVERIFY(writeFile(main, "int main;\n"));
        QTRY_COMPARE_WITH_TIMEOUT(readAll(main), "INT MAIN;\n", 15000);
        QVERIFY(residentMegabytes(h.sprucer.processId()) < 1024);

        const qint64 exitMs = h.terminate();
        QVERIFY2(exitMs >= 0 && exitMs < 5000, qPrintable(QString::number(exitMs)));
    }

    // Quitting during bulk work stops the tools after a short grace instead of formatting
    // every queued file first; what was formatted is counted, the rest is left untouched.
    void quitDuringBulkWorkIsQuickAndKeepsTheCounts()
    {
        HeadlessHome h;
        const QString tools = h.path(u"tools"_s), started = h.path(u"slow started"_s);
        StandInTool::write(tools, u"clang-format"_s,
                           u"for f; do case \"$f\" in -*) continue;; esac\n"
                           "  case \"$f\" in *slow*) touch '%1'; sleep 60;; esac\n"
                           "  tr a-z A-Z < \"$f\" > \"$f.new\" && mv \"$f.new\" \"$f\"\n"
                           "done"_s.arg(started));
        h.start(tools);
        if (QTest::currentTestFailed())
            return;
        const QString quick = h.project() + u"/src/quick.cpp"_s;
        QVERIFY(writeFile(quick, "int quick;\n"));
        QTRY_COMPARE_WITH_TIMEOUT(readAll(quick), "INT QUICK;\n", 15000);
        for (int i = 0; i < 60; ++i)
            QVERIFY(writeFile(h.project() + u"/src/slow%1.cpp"_s.arg(i), "int slow;\n"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(started), 15000);

        const qint64 exitMs = h.terminate();
        QVERIFY2(exitMs >= 0 && exitMs < 5000, qPrintable(QString::number(exitMs)));
        QCOMPARE(h.storedCounts(), (QList<CodeCounterModel>{{QUuid::fromString(kWatcherId), 1}}));
        QCOMPARE(readAll(h.project() + u"/src/slow7.cpp"_s), "int slow;\n");
        QCOMPARE(QDir(h.project() + u"/src"_s)
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                     .size(),
                 61); // no copy left behind
    }

    // Killed while its tools run: the C++ file's copy was never in the project, the Kotlin
    // file's is beside it (ktlint looks for settings there), and both go when Sprucer next runs.
    void aKilledRunLeavesNoCopyBehind()
    {
        HeadlessHome h;
        const QString tools = h.path(u"tools"_s), pids = h.path(u"tool pids"_s);
        const QString kotlin = h.path(u"Kotlin Project"_s), copies = h.path(u"runtime/sprucer"_s);
        for (const QString &tool : {u"clang-format"_s, u"ktlint"_s})
            StandInTool::write(
                tools, tool,
                u"case \"$file\" in *.sprucer-copy-*) echo $$ >> '%1'; exec sleep 600;; esac"_s.arg(
                    pids));
        QVERIFY(QDir().mkpath(kotlin) && writeFile(h.path(u"editorconfig"_s), "[*.kt]\n"));
        h.addWatcher(u"kotlin"_s, kotlin, h.path(u"editorconfig"_s));
        h.start(tools, 2);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(writeFile(h.project() + u"/src/main.cpp"_s, kUnformatted));
        QVERIFY(writeFile(kotlin + u"/Main.kt"_s, "class Main\n"));
        QTRY_COMPARE_WITH_TIMEOUT(StandInTool::readLines(pids).size(), 2, 15000);

        const auto leftovers = [&] {
            return QList<QStringList>{PrivateCopyFolders::under(h.project()),
                                      PrivateCopyFolders::under(kotlin),
                                      PrivateCopyFolders::under(copies)};
        };
        QList<QStringList> during = leftovers();
        QCOMPARE(during.value(0), QStringList());
        QCOMPARE(during.value(1).size(), 1);
        QCOMPARE(during.value(2).size(), 1);
        QVERIFY(QFileInfo::exists(during[2][0] + u"/main.cpp"_s));
        ::kill(pid_t(h.sprucer.processId()), SIGKILL);
        QVERIFY(h.sprucer.waitForFinished(10000));
        for (const QString &pid : StandInTool::readLines(pids))
            ::kill(pid.toInt(), SIGKILL);
        QCOMPARE(leftovers(), during);

        for (const QString &tool : {u"clang-format"_s, u"ktlint"_s})
            StandInTool::write(tools, tool, QString());
        h.start(tools, 2);
        QCOMPARE(leftovers(), QList<QStringList>(3));
        QVERIFY(h.terminate() >= 0);
    }

    // A count the settings file refuses fails the exit, and the next start stores it.
    void countsTheStoreRefusesComeBackAtTheNextStart()
    {
        HeadlessHome h;
        const QString tools = upperCasingTool(h);
        h.start(tools);
        if (QTest::currentTestFailed())
            return;
        const QString folder = h.path(u"config/Velmora"_s), plain = h.path(u"plain"_s);
        QVERIFY(writeFile(plain, ""));
        swapPaths(folder, plain);
        const QString saved = h.project() + u"/src/saved.cpp"_s;
        QVERIFY(writeFile(saved, "int saved;\n"));
        QTRY_COMPARE_WITH_TIMEOUT(readAll(saved), "INT SAVED;\n", 15000);

        QCOMPARE(h.terminate(), -1);
        QVERIFY2(h.sprucer.exitCode() == 1, h.sprucer.readAllStandardError().constData());
        const QString recovery = h.path(u"cache/Sprucer/settings-recovery.ini"_s);
        QVERIFY(QFile::exists(recovery));

        swapPaths(folder, plain);
        h.start(tools);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(h.terminate() >= 0);
        QVERIFY(h.sprucer.readAllStandardError().contains("sprucer: recovered "));
        QVERIFY(!QFile::exists(recovery));
        QCOMPARE(h.storedCounts(), (QList<CodeCounterModel>{{QUuid::fromString(kWatcherId), 1}}));
    }
};

SPRUCER_TEST_MAIN(TestHeadlessMode)
#include "TestHeadlessMode.moc"
