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
#include <memory>

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
    // Made after the folder; gone before it, or a retry would make it again.
    std::unique_ptr<UserDefaults> settings;

    RefusingStore()
    {
        QDir().mkpath(folder);
        settings = std::make_unique<UserDefaults>(file);
        settings->setRetryDelays(10ms, 40ms);
    }

    ~RefusingStore() { settings.reset(); }

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
    void init() { TestHome::current().reset(); }

    // The window and the headless agent share one file: each must see what the other wrote,
    // and a value set again unchanged must cost no write of the whole file.
    void writesOnlyChangesAndSeesAnotherProcesssWrites()
    {
        UserDefaults &settings = TestHome::settings();
        settings.setValue(u"ours"_s, u"1"_s);
        settings.flush();
        const quint64 writes = settings.writesToDisk();
        settings.setValue(u"ours"_s, u"1"_s);
        settings.remove(u"never set"_s);
        settings.flush();
        QCOMPARE(settings.writesToDisk(), writes);

        const QString file = settings.fileName();
        QCOMPARE(QProcess::execute(u"sh"_s, {u"-c"_s,
                                             u"cp \"$0\" \"$0.new\" && "
                                             "printf 'theirs=2\\n' >> \"$0.new\" && "
                                             "mv \"$0.new\" \"$0\""_s,
                                             file}),
                 0);
        QCOMPARE(settings.value(u"theirs"_s).toString(), u"2"_s);

        settings.setValue(u"ours"_s, u"3"_s);
        settings.flush();
        QCOMPARE(settings.writesToDisk(), writes + 1);
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray text = written.readAll();
        QVERIFY2(text.contains("ours=3") && text.contains("theirs=2"), text.constData());
    }

    // A refused write is kept and readable, said once per reason, and written by a later try.
    void refusedWriteStaysReadableAndIsRetried()
    {
        RefusingStore store;
        store.settings->setValue(u"kept"_s, u"1"_s);
        QVERIFY(store.settings->flush());
        const quint64 writes = store.settings->writesToDisk();
        const QString plain = store.refuse();

        store.settings->setValue(u"fixCount.swift"_s, 3);
        QVERIFY(!store.settings->flush());
        QVERIFY(!store.settings->flush()); // the same failure again
        QCOMPARE(store.settings->value(u"fixCount.swift"_s).toInt(), 3);
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
        QCOMPARE(store.settings->writesToDisk(), writes + 1);
        QVERIFY(store.settings->flush());
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
        {
            RefusingStore last;
            last.settings->setValue(u"fixCount.kotlin"_s, 7);
            last.settings->setValue(u"recent"_s, QStringList{u"a"_s, u"b"_s});
            QVERIFY(last.settings->flush());
            last.settings->setValue(u"fixCount.kotlin"_s, 8); // only this one is not on disk
            last.refuse();
            QVERIFY(!last.settings->flushAtQuit());
            QCOMPARE(QSettings(recovery, QSettings::IniFormat).allKeys(),
                     QStringList{u"fixCount.kotlin"_s});
            QVERIFY(linesStartingWith(u"⚠️"_s).value(0).contains(recovery));
        } // the run ends

        RefusingStore next; // the next start, whose store refuses at first too
        next.settings->setValue(u"fixCount.kotlin"_s, 5);
        QVERIFY(next.settings->flush());
        const QString plain = next.refuse();
        const UserDefaults::Recovered recovered = next.settings->mergeRecoveryFile(recovery);
        QCOMPARE(recovered.keys, QStringList{u"fixCount.kotlin"_s});
        QVERIFY(!recovered.onDisk);
        QVERIFY(QFile::exists(recovery));
        QCOMPARE(next.settings->value(u"fixCount.kotlin"_s).toInt(), 8);

        next.swapFolderWith(plain);
        QTRY_VERIFY(!QFile::exists(recovery));
        QVERIFY(next.onDisk().contains("fixCount.kotlin=8"));
    }
};

SPRUCER_TEST_MAIN(TestUserDefaults)
#include "TestUserDefaults.moc"
