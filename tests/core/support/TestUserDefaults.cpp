// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/RecoveryFile.h"
#include "core/support/UserDefaults.h"
#include "support/LogFile.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// A store in a folder of its own, "conf", which the test swaps for things no file can be
// written into: a write then fails for real, whoever runs the test.
struct RefusingStore
{
    QTemporaryDir dir;
    QString folder = dir.filePath(u"conf"_s);
    QString file = folder + u"/settings.ini"_s;

    RefusingStore()
    {
        QDir().mkpath(folder);
        UserDefaults::useFile(file);
    }

    // Before the folder goes: a retry would make it again.
    ~RefusingStore() { UserDefaults::useFile(TestHome::current().userDefaultsFile()); }

    // Swaps "conf" with `other`, atomically, so that the retries never meet a half-made state.
    void swapFolderWith(const QString &other) const
    {
        QVERIFY(::renameat2(AT_FDCWD, QFile::encodeName(folder).constData(), AT_FDCWD,
                            QFile::encodeName(other).constData(), RENAME_EXCHANGE) == 0);
    }

    // "conf" becomes a regular file: "Not a directory".
    QString refuse() const
    {
        const QString plain = dir.filePath(u"plain file"_s);
        QFile(plain).open(QIODevice::WriteOnly);
        swapFolderWith(plain);
        return plain;
    }

    QByteArray onDisk() const
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

QStringList linesStartingWith(const QString &mark)
{
    return LogFile::messages().filter(QRegularExpression(u"^"_s + mark));
}

} // namespace

class TestUserDefaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        TestHome::current().reset();
        UserDefaults::setRetryDelays(10ms, 40ms);
    }

    void cleanup() { UserDefaults::setRetryDelays(1s, 60s); }

    // The window and the headless agent share one file: each must see what the other wrote,
    // and a value set again unchanged must cost no write of the whole file.
    void writesOnlyChangesAndSeesAnotherProcesssWrites()
    {
        UserDefaults::setValue(u"ours"_s, u"1"_s);
        UserDefaults::flush();
        const quint64 writes = UserDefaults::writesToDisk();
        UserDefaults::setValue(u"ours"_s, u"1"_s);
        UserDefaults::remove(u"never set"_s);
        UserDefaults::flush();
        QCOMPARE(UserDefaults::writesToDisk(), writes);

        const QString file = UserDefaults::fileName();
        QCOMPARE(QProcess::execute(u"sh"_s, {u"-c"_s,
                                             u"cp \"$0\" \"$0.new\" && "
                                             "printf 'theirs=2\\n' >> \"$0.new\" && "
                                             "mv \"$0.new\" \"$0\""_s,
                                             file}),
                 0);
        QCOMPARE(UserDefaults::value(u"theirs"_s).toString(), u"2"_s);

        UserDefaults::setValue(u"ours"_s, u"3"_s);
        UserDefaults::flush();
        QCOMPARE(UserDefaults::writesToDisk(), writes + 1);
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray text = written.readAll();
        QVERIFY2(text.contains("ours=3") && text.contains("theirs=2"), text.constData());
    }

    // A refused write is kept and readable, said once per reason, and written by a later try.
    void refusedWriteStaysReadableAndIsRetried()
    {
        RefusingStore store;
        UserDefaults::setValue(u"kept"_s, u"1"_s);
        QVERIFY(UserDefaults::flush());
        const quint64 writes = UserDefaults::writesToDisk();
        const QString plain = store.refuse();

        UserDefaults::setValue(u"fixCount.swift"_s, 3);
        QVERIFY(!UserDefaults::flush());
        QVERIFY(!UserDefaults::flush()); // the same failure again
        QCOMPARE(UserDefaults::value(u"fixCount.swift"_s).toInt(), 3);
        QCOMPARE(linesStartingWith(u"❌"_s),
                 QStringList{u"❌ Could not store fixCount.swift: Not a directory"_s});

        // Another reason is worth another line.
        const QString nested = store.dir.filePath(u"nested"_s);
        QVERIFY(QDir().mkpath(nested + u"/settings.ini"_s));
        store.swapFolderWith(nested); // conf/settings.ini is now a folder
        QTRY_COMPARE(linesStartingWith(u"❌"_s).size(), 2);
        QVERIFY(linesStartingWith(u"❌"_s).last().endsWith(u": Is a directory"_s));

        store.swapFolderWith(plain); // the real folder comes back
        QTRY_VERIFY(store.onDisk().contains("fixCount.swift=3"));
        QVERIFY(store.onDisk().contains("kept=1"));
        QCOMPARE(UserDefaults::writesToDisk(), writes + 1);
        QVERIFY(UserDefaults::flush());
        QCOMPARE(
            linesStartingWith(u"✅"_s),
            QStringList{u"✅ Stored 1 value(s) the settings file had refused: fixCount.swift"_s});
        QCOMPARE(linesStartingWith(u"❌"_s).size(), 2);
    }

    // What the last try at quitting cannot write is kept aside; the next start takes it in and
    // removes the file once it is on disk.
    void quitThatFailsKeepsValuesUntilTheNextStartStoresThem()
    {
        const QString recovery = RecoveryFile::defaultPath();
        RefusingStore last;
        UserDefaults::setValue(u"fixCount.kotlin"_s, 7);
        UserDefaults::setValue(u"recent"_s, QStringList{u"a"_s, u"b"_s});
        QVERIFY(UserDefaults::flush());
        UserDefaults::setValue(u"fixCount.kotlin"_s, 8); // only this one is not on disk
        last.refuse();
        QVERIFY(!UserDefaults::flushAtQuit());
        QCOMPARE(QSettings(recovery, QSettings::IniFormat).allKeys(),
                 QStringList{u"fixCount.kotlin"_s});
        QVERIFY(linesStartingWith(u"⚠️"_s).value(0).contains(recovery));

        RefusingStore next; // the next start, whose store refuses at first too
        UserDefaults::setValue(u"fixCount.kotlin"_s, 5);
        QVERIFY(UserDefaults::flush());
        const QString plain = next.refuse();
        const UserDefaults::Recovered recovered = UserDefaults::mergeRecoveryFile(recovery);
        QCOMPARE(recovered.keys, QStringList{u"fixCount.kotlin"_s});
        QVERIFY(!recovered.onDisk);
        QVERIFY(QFile::exists(recovery));
        QCOMPARE(UserDefaults::value(u"fixCount.kotlin"_s).toInt(), 8);

        next.swapFolderWith(plain);
        QTRY_VERIFY(!QFile::exists(recovery));
        QVERIFY(next.onDisk().contains("fixCount.kotlin=8"));
    }
};

SPRUCER_TEST_MAIN(TestUserDefaults)
#include "TestUserDefaults.moc"
