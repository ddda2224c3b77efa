// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/FixJournal.h"
#include "support/TestMain.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

QByteArray digestOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

FixOutcome changedFile(const QString &path, const QByteArray &before, const QByteArray &after,
                       FixOutcome::Origin origin = FixOutcome::Origin::save, quint64 delivery = 1)
{
    FixOutcome outcome;
    outcome.watcherId = QUuid::createUuid();
    outcome.path = path;
    outcome.origin = origin;
    outcome.result = FixOutcome::Result::changed;
    outcome.tool = u"clang-format"_s;
    outcome.digestBefore = digestOf(before);
    outcome.digestAfter = digestOf(after);
    outcome.contentBefore = before;
    outcome.contentAfter = after;
    outcome.delivery = delivery;
    return outcome;
}

void keep(FixJournal &journal, int count, const QByteArray &filler = {})
{
    for (int i = 0; i < count; ++i) {
        const QByteArray before = "int f" + QByteArray::number(i) + "(){}\n" + filler;
        journal.record(changedFile(u"/p/f%1.cpp"_s.arg(i), before, before + "// done\n"), u"w"_s,
                       u"c"_s);
    }
    journal.flush();
}

} // namespace

// The history's file: what it keeps of a fix, its bounds, and what survives a crash or another
// process writing beside it.
class TestFixJournal : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void init() { QVERIFY(QDir(m_dir.path()).removeRecursively() && QDir().mkpath(m_dir.path())); }

    void keepsAChangedFileAcrossStarts()
    {
        QVERIFY(QDir(m_dir.path()).removeRecursively());
        const QByteArray before = "int a(){\nreturn 1;\n}\nint b;\n";
        const QByteArray after = "int a() {\n  return 1;\n}\nint b;\n";
        {
            FixJournal journal(m_dir.path());
            FixOutcome unchanged = changedFile(u"/p/u.cpp"_s, before, before);
            unchanged.result = FixOutcome::Result::unchanged;
            journal.record(unchanged, u"w"_s, u"c"_s);
            FixOutcome unknownBefore = changedFile(u"/p/v.cpp"_s, before, after);
            unknownBefore.contentBefore.clear(); // not handed back by its fixer
            journal.record(unknownBefore, u"w"_s, u"c"_s);
            journal.record(changedFile(u"/p/a.cpp"_s, before, after), u"Project"_s, u"LLVM"_s);
            journal.flush();
        }
        FixJournal journal(m_dir.path());
        const QList<FixRecord> fixes = journal.fixes();
        QCOMPARE(fixes.size(), 1);
        QCOMPARE(QFile::permissions(m_dir.path()) & QFile::Permissions::fromInt(0x0077),
                 QFile::Permissions());
        const FixRecord &fix = fixes.first();
        QCOMPARE(fix.path, u"/p/a.cpp"_s);
        QCOMPARE(fix.watcher, u"Project"_s);
        QCOMPARE(fix.configuration, u"LLVM"_s);
        QCOMPARE(fix.tool, u"clang-format"_s);
        QCOMPARE(std::pair(fix.added, fix.removed), std::pair(2, 2));
        QVERIFY(fix.time.isValid() && !fix.undone());
        QCOMPARE(journal.contentBefore(fix.id), before);
        const QByteArray diff = journal.diff(fix.id).value_or(QByteArray());
        QVERIFY(diff.startsWith("--- a/p/a.cpp\n+++ b/p/a.cpp\n@@"));
        QVERIFY(diff.contains("\n-return 1;\n") && diff.contains("\n+  return 1;\n"));
        // Lines that look like the header inside a hunk still count.
        journal.record(changedFile(u"/p/b.cpp"_s, "--x\n", "++y\n"), {}, {});
        journal.flush();
        QCOMPARE(std::pair(journal.fixes().first().added, journal.fixes().first().removed),
                 std::pair(1, 1));
    }

    void keepsTheNewestWithinItsBounds()
    {
        FixJournal byCount(m_dir.path(), {10, 100LL * 1024 * 1024});
        keep(byCount, 25);
        const QList<FixRecord> fixes = byCount.fixes();
        QCOMPARE(fixes.size(), 10);
        QCOMPARE(fixes.first().path, u"/p/f24.cpp"_s);
        QCOMPARE(fixes.last().path, u"/p/f15.cpp"_s);
        QCOMPARE(byCount.contentBefore(fixes.last().id), QByteArray("int f15(){}\n"));
        // Rewritten at 21 fixes to the newest 10: 14 entries of about the same size are left.
        QVERIFY(QFileInfo(byCount.fileName()).size() < 16 * fixes.first().size);
        // Rewritten, it is still the user's alone: it holds their sources.
        QCOMPARE(QFile::permissions(byCount.fileName()) & QFile::Permissions::fromInt(0x0077),
                 QFile::Permissions());

        init();
        // Random bytes do not compress: each entry is over 4 KiB.
        QByteArray noise(4096, '\0');
        for (char &byte : noise)
            byte = char(QRandomGenerator::global()->bounded(256));
        const qint64 limit = 64 * 1024;
        FixJournal bySize(m_dir.path(), {1000, limit});
        keep(bySize, 40, noise.toBase64());
        QVERIFY(QFileInfo(bySize.fileName()).size() <= limit);
        // The newest ones, none missing between them, filling at least half of the limit.
        const QList<FixRecord> kept = bySize.fixes();
        for (qsizetype i = 0; i < kept.size(); ++i)
            QCOMPARE(kept[i].path, u"/p/f%1.cpp"_s.arg(39 - i));
        QVERIFY(kept.size() * kept.first().size >= limit / 2);
    }

    void skipsATornOrDamagedEntry()
    {
        {
            FixJournal journal(m_dir.path());
            keep(journal, 3);
        }
        const QString file = FixJournal(m_dir.path()).fileName();
        QFile torn(file);
        QVERIFY(torn.open(QIODevice::ReadWrite));
        const QByteArray whole = torn.readAll();
        QVERIFY(torn.resize(whole.size() - 5)); // the last entry cut short by a crash
        torn.close();

        FixJournal journal(m_dir.path());
        QCOMPARE(journal.fixes().size(), 2);
        keep(journal, 1);
        QCOMPARE(journal.fixes().size(), 3);
        QCOMPARE(FixJournal(m_dir.path()).fixes().size(), 3);

        // A flipped byte inside the first entry: it alone goes.
        QVERIFY(torn.open(QIODevice::ReadWrite));
        QByteArray bytes = torn.readAll();
        bytes[30] = char(bytes[30] ^ 0x55);
        QVERIFY(torn.seek(0) && torn.write(bytes) == bytes.size());
        torn.close();
        const QList<FixRecord> left = FixJournal(m_dir.path()).fixes();
        QCOMPARE(left.size(), 2);
        QCOMPARE(left.last().path, u"/p/f1.cpp"_s);

        // A length field damaged: the entries after it are found again, and kept by the next
        // append.
        bytes[5] = char(0x7f);
        QVERIFY(torn.open(QIODevice::ReadWrite) && torn.write(bytes) == bytes.size());
        torn.close();
        FixJournal afterDamage(m_dir.path());
        QCOMPARE(afterDamage.fixes().size(), 2);
        keep(afterDamage, 1);
        QCOMPARE(FixJournal(m_dir.path()).fixes().size(), 3);
    }

    void sharesTheFileWithAnotherProcess()
    {
        FixJournal agent(m_dir.path());
        FixJournal command(m_dir.path());
        keep(agent, 1);
        QCOMPARE(command.fixes().size(), 1);
        keep(command, 1);
        keep(agent, 1);
        const QList<FixRecord> fixes = agent.fixes();
        QCOMPARE(fixes.size(), 3);
        QVERIFY(fixes[0].id > fixes[1].id && fixes[1].id > fixes[2].id);
        QVERIFY(command.recordUndo(fixes[1]));
        QVERIFY(agent.find(fixes[1].id)->undone());
        QVERIFY(agent.clear());
        QVERIFY(command.fixes().isEmpty());
    }

    void leavesAloneOnlyWhatAnUndoPutBack()
    {
        const QString path = m_dir.filePath(u"a.cpp"_s);
        auto write = [&](const QByteArray &bytes) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        };
        FixJournal journal(m_dir.path());
        journal.record(changedFile(path, "int a;\n", "int  a;\n"), {}, {});
        journal.flush();
        QVERIFY(write("int a;\n"));
        QVERIFY(!journal.leavesAlone(path));
        QVERIFY(journal.recordUndo(journal.fixes().first()));
        QVERIFY(journal.leavesAlone(path));
        // Another process learns of it from the file.
        QVERIFY(FixJournal(m_dir.path()).leavesAlone(path));
        QVERIFY(write("int b;\n"));
        QVERIFY(!journal.leavesAlone(path));
        // Saved back to the content put back, it is the user's save: formatted as usual.
        QVERIFY(write("int a;\n"));
        QVERIFY(!journal.leavesAlone(path));
    }
};

SPRUCER_TEST_MAIN(TestFixJournal)
#include "TestFixJournal.moc"
