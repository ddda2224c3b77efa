// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/SprucerLogger.h"
#include "support/LogFile.h"
#include "support/TestMain.h"

#include <QDir>
#include <QRegularExpression>
#include <QThreadPool>

using namespace Qt::StringLiterals;

class TestSprucerLogger : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        SprucerLogger::shared().flush();
        TestHome::current().reset();
    }

    void timestampIsShortDateAndMediumTime()
    {
        const QDateTime when(QDate(2026, 12, 5), QTime(15, 4, 5));
        QCOMPARE(SprucerLogger::timestampPrefix(when, QLocale(u"en_US"_s)),
                 u"[12/5/26, 3:04:05 PM] "_s);
        QCOMPARE(SprucerLogger::timestampPrefix(when, QLocale(u"de_DE"_s)),
                 u"[05.12.26, 15:04:05] "_s);
    }

    void linesFromManyThreadsStayWholeAndInOrder()
    {
        SprucerLogger::shared().log(u"one\ntwo"_s); // written unchanged
        QThreadPool pool;
        pool.setMaxThreadCount(8);
        for (int t = 0; t < 8; ++t)
            pool.start([t] {
                for (int i = 0; i < 200; ++i)
                    SprucerLogger::shared().log(u"%1 %2 "_s.arg(t).arg(i) + QString(300, u'x'));
            });
        QVERIFY(pool.waitForDone(30000));
        QStringList lines = LogFile::lines();
        QCOMPARE(lines.size(), 2 + 8 * 200);
        QCOMPARE(lines.takeAt(1), u"two"_s);
        // The process runs in en_US (see sprucer_add_test).
        static const QRegularExpression form(
            uR"(^\[\d\d?/\d\d?/\d\d, \d\d?:\d\d:\d\d\s[AP]M\] (one|(\d) (\d+) x{300})$)"_s);
        QList<int> next(8, 0);
        for (const QString &line : std::as_const(lines)) {
            const QRegularExpressionMatch match = form.match(line);
            QVERIFY2(match.hasMatch(), qPrintable(line));
            if (match.hasCaptured(2))
                QCOMPARE(match.captured(3).toInt(), next[match.captured(2).toInt()]++);
        }
    }

    void exportCopiesTheLogAndNeverReplaces()
    {
        SprucerLogger &logger = SprucerLogger::shared();
        QVERIFY(!logger.prepareExport());
        QVERIFY(logger.prepareExport()); // the warning made the file
        const QString destination = TestHome::current().path() + u"/exported.log"_s;
        const QString before = LogFile::text();
        QVERIFY(logger.exportTo(destination));
        QVERIFY(!logger.exportTo(destination));
        QFile exported(destination);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(exported.readAll()), before);
        const QString exists = u"A file named \"exported.log\" already exists."_s;
        QCOMPARE(LogFile::messages(), QStringList({u"⚠️ No log file found."_s,
                                                   u"✅ Logs exported to: "_s + destination,
                                                   u"❌ Failed to export logs: "_s + exists}));
    }

    void unwritableLogIsDroppedSilently()
    {
        // A directory where the file should be: every write fails, and nothing reaches the caller.
        const QString path = SprucerLogger::shared().logFilePath();
        QVERIFY(QDir().mkpath(path));
        SprucerLogger::shared().log(u"lost"_s);
        SprucerLogger::shared().flush();
        QVERIFY(QDir(path).removeRecursively());
    }
};

SPRUCER_TEST_MAIN(TestSprucerLogger)
#include "TestSprucerLogger.moc"
