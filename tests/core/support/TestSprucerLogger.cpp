// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/SprucerLogger.h"
#include "support/LogFile.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <vector>

namespace {

QString messageOf(const QString &line)
{
    return line.mid(line.indexOf(QStringLiteral("] ")) + 2);
}

} // namespace

class TestSprucerLogger : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        SprucerLogger::shared().flush();
        TestHome::current().reset();
    }

    void timestampUsesShortDateAndMediumTime()
    {
        const QDateTime when(QDate(2026, 12, 5), QTime(15, 4, 5));
        QCOMPARE(SprucerLogger::timestampPrefix(when, QLocale(QStringLiteral("en_US"))),
                 QStringLiteral("[12/5/26, 3:04:05 PM] "));
        QCOMPARE(SprucerLogger::timestampPrefix(when, QLocale(QStringLiteral("de_DE"))),
                 QStringLiteral("[05.12.26, 15:04:05] "));
    }

    void firstLineCreatesTheFileWithExactlyThatLine()
    {
        QVERIFY(!QFile::exists(SprucerLogger::shared().logFilePath()));
        SprucerLogger::shared().log(QStringLiteral("hello"));
        const QStringList lines = LogFile::lines();
        QCOMPARE(lines.size(), 1);
        static const QRegularExpression form(
            QStringLiteral(R"(^\[\d{1,2}/\d{1,2}/\d{2}, \d{1,2}:\d{2}:\d{2} [AP]M\] hello$)"));
        QVERIFY2(form.match(lines.first()).hasMatch(), qPrintable(lines.first()));
    }

    void multiLineMessagesAreWrittenUnchanged()
    {
        SprucerLogger::shared().log(QStringLiteral("one\ntwo"));
        const QStringList lines = LogFile::lines();
        QCOMPARE(lines.size(), 2);
        QCOMPARE(messageOf(lines[0]), QStringLiteral("one"));
        QCOMPARE(lines[1], QStringLiteral("two"));
    }

    void linesFromManyThreadsNeverInterleave()
    {
        constexpr int kThreads = 8;
        constexpr int kLinesEach = 200;
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back(QThread::create([t] {
                for (int i = 0; i < kLinesEach; ++i)
                    SprucerLogger::shared().log(QStringLiteral("thread %1 line %2 %3")
                                                    .arg(t)
                                                    .arg(i)
                                                    .arg(QString(300, u'x')));
            }));
            threads.back()->start();
        }
        for (auto &thread : threads)
            QVERIFY(thread->wait(30000));

        const QStringList lines = LogFile::lines();
        QCOMPARE(lines.size(), kThreads * kLinesEach);
        // Per thread the lines keep their order, and each line is whole.
        std::vector<int> next(kThreads, 0);
        static const QRegularExpression form(QStringLiteral(R"(^thread (\d+) line (\d+) x{300}$)"));
        for (const QString &line : lines) {
            const auto match = form.match(messageOf(line));
            QVERIFY2(match.hasMatch(), qPrintable(line));
            const int thread = match.captured(1).toInt();
            QCOMPARE(match.captured(2).toInt(), next[thread]++);
        }
    }

    void exportWithoutLogFileLogsAndOffersNothing()
    {
        QVERIFY(!SprucerLogger::shared().prepareExport());
        QStringList lines = LogFile::lines();
        QCOMPARE(lines.size(), 1);
        QCOMPARE(messageOf(lines[0]), QStringLiteral("⚠️ No log file found."));
        // The warning created the file, so a second export may go ahead.
        QVERIFY(SprucerLogger::shared().prepareExport());
    }

    void exportCopiesAndNeverReplaces()
    {
        SprucerLogger::shared().log(QStringLiteral("to export"));
        QVERIFY(SprucerLogger::shared().prepareExport());
        const QString destination = TestHome::current().path() + QStringLiteral("/exported.log");
        QFile::remove(destination);

        QVERIFY(SprucerLogger::shared().exportTo(destination));
        QFile exported(destination);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        QVERIFY(exported.readAll().endsWith("] to export\n"));
        exported.close();
        QCOMPARE(messageOf(LogFile::lines().last()),
                 QStringLiteral("✅ Logs exported to: ") + destination);

        QVERIFY(!SprucerLogger::shared().exportTo(destination));
        QVERIFY(messageOf(LogFile::lines().last())
                    .startsWith(QStringLiteral("❌ Failed to export logs: ")));
        QVERIFY(exported.open(QIODevice::ReadOnly));
        QVERIFY(exported.readAll().endsWith("] to export\n"));
    }

    void unwritableLogIsDroppedSilently()
    {
        // A directory where the file should be: every write fails, nothing reaches the caller.
        QDir().mkpath(SprucerLogger::shared().logFilePath());
        SprucerLogger::shared().log(QStringLiteral("lost"));
        SprucerLogger::shared().flush();
        QVERIFY(QFileInfo(SprucerLogger::shared().logFilePath()).isDir());
        QDir(SprucerLogger::shared().logFilePath()).removeRecursively();
    }
};

SPRUCER_TEST_MAIN(TestSprucerLogger)
#include "TestSprucerLogger.moc"
