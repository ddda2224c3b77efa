// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/FixJournal.h"
#include "core/services/FixUndo.h"
#include "core/watching/FixPipeline.h"
#include "support/CoreFixture.h"
#include "support/TestMain.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray digestOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// A fix of `path` from `before` to what it holds now, as the pipeline reports it.
void keepFix(FixJournal &journal, const QString &path, const QByteArray &before,
             FixOutcome::Origin origin = FixOutcome::Origin::save)
{
    FixOutcome outcome;
    outcome.path = path;
    outcome.origin = origin;
    outcome.delivery = 7;
    outcome.result = FixOutcome::Result::changed;
    outcome.contentBefore = before;
    outcome.contentAfter = read(path);
    outcome.digestBefore = digestOf(before);
    outcome.digestAfter = digestOf(outcome.contentAfter);
    journal.record(outcome, u"w"_s, u"c"_s);
    journal.flush();
}

} // namespace

// Taking a fix back: the exact content or nothing, one file or a whole run, and the watcher
// leaving the content put back alone.
class TestFixUndo : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    void putsBackOnlyWhatTheFixLeft()
    {
        QTemporaryDir files;
        FixJournal journal(files.filePath(u"history"_s));
        FixUndo undo(journal);
        const QString path = files.filePath(u"a.cpp"_s);
        const QByteArray before = "int a(){return 1;}"; // no newline at the end: kept as it was
        QVERIFY(write(path, "int a() { return 1; }\n"));
        QVERIFY(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        keepFix(journal, path, before);
        const quint64 id = journal.fixes().first().id;

        QVERIFY(write(path, "int a() { return 2; }\n"));
        FixUndo::Outcome refused = undo.undo(id);
        QCOMPARE(refused.status, FixUndo::Status::changedSince);
        QCOMPARE(refused.message, u"a.cpp has changed since the fix; nothing was undone"_s);
        QCOMPARE(read(path), QByteArray("int a() { return 2; }\n"));
        QVERIFY(!journal.find(id)->undone());

        QVERIFY(write(path, "int a() { return 1; }\n"));
        QCOMPARE(undo.undo(id).status, FixUndo::Status::undone);
        QCOMPARE(read(path), before);
        const QFile::Permissions ownerGroupOther = QFile::Permissions::fromInt(0x7077);
        QCOMPARE(QFile::permissions(path) & ownerGroupOther,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        QVERIFY(FixJournal(files.filePath(u"history"_s)).find(id)->undone());
        QCOMPARE(undo.undo(id).status, FixUndo::Status::changedSince);
        QCOMPARE(undo.undo(id + 100).status, FixUndo::Status::unknown);
    }

    void keepsTheLinksOfAFile()
    {
        QTemporaryDir files;
        FixJournal journal(files.filePath(u"history"_s));
        const QString path = files.filePath(u"a.cpp"_s), link = files.filePath(u"b.cpp"_s);
        QVERIFY(write(path, "formatted\n"));
        QVERIFY(::link(qPrintable(path), qPrintable(link)) == 0);
        keepFix(journal, path, "raw\n");
        QCOMPARE(FixUndo(journal).undo(journal.fixes().first().id).status, FixUndo::Status::undone);
        QCOMPARE(read(link), QByteArray("raw\n"));
    }

    void undoesARunFileByFile()
    {
        QTemporaryDir files;
        FixJournal journal(files.filePath(u"history"_s));
        for (const QString &name : {u"a.cpp"_s, u"b.cpp"_s, u"c.cpp"_s}) {
            QVERIFY(write(files.filePath(name), "after " + name.toUtf8()));
            keepFix(journal, files.filePath(name), "before", FixOutcome::Origin::run);
        }
        QVERIFY(write(files.filePath(u"b.cpp"_s), "edited"));
        const QString run = journal.fixes().first().run;
        QVERIFY(!run.isEmpty());

        const FixUndo::RunOutcome outcome = FixUndo(journal).undoRun(run);
        QCOMPARE(outcome.summary(), u"2 put back · 1 changed since · 0 failed"_s);
        QCOMPARE(outcome.notUndone,
                 QStringList{u"b.cpp has changed since the fix; nothing was undone"_s});
        QCOMPARE(read(files.filePath(u"a.cpp"_s)), QByteArray("before"));
        QCOMPARE(read(files.filePath(u"b.cpp"_s)), QByteArray("edited"));
        // Again: what was put back is not put back twice.
        QCOMPARE(FixUndo(journal).undoRun(run).summary(),
                 u"0 put back · 1 changed since · 0 failed"_s);
    }

    // The agent leaves the content put back alone, however often it is saved, until the user
    // saves another.
    void theWatcherLeavesTheUndoneContentAlone()
    {
        CoreFixture fixture;
        const QString project = fixture.makeProject(u"app"_s, {{u"sentinel.cpp"_s, u""_s}});
        const CodeWatcherModel watcher =
            fixture.makeWatcher(project, SupportedFileExtension::cpp, true);
        QVERIFY(fixture.registry().addWatcher(watcher));
        fixture.fixerFor(watcher.id)->setFormat([](const QByteArray &text) {
            return text.toUpper();
        });
        const QString path = project + u"/a.cpp"_s;
        const QString sentinel = project + u"/sentinel.cpp"_s;
        FixJournal &journal = fixture.core().journal();
        QSignalSpy finished(&fixture.core().pipeline(), &FixPipeline::fileFinished);
        auto fixesOf = [&](const QString &file) {
            return fixture.fixerFor(watcher.id)->fixedFiles().count(file);
        };
        // Saved files are looked at in the order of their saves: the sentinel formatted says
        // the save before it was looked at. Its content, not its fixer's start, since a run
        // under way may read a newer save and take it along.
        auto settle = [&](int round) {
            const QByteArray saved = "s" + QByteArray::number(round);
            return write(sentinel, saved) &&
                   QTest::qWaitFor([&] { return read(sentinel) == saved.toUpper(); }, 10000);
        };

        QVERIFY(write(path, "int a;\n"));
        QTRY_COMPARE_WITH_TIMEOUT(journal.fixes().size(), 1, 10000);
        QCOMPARE(read(path), QByteArray("INT A;\n"));
        QCOMPARE(fixture.core().undo().undo(journal.fixes().first().id).status,
                 FixUndo::Status::undone);
        QVERIFY(settle(1));
        QVERIFY(write(path, "int a;\n")); // saved again, unchanged
        QVERIFY(settle(2));
        QCOMPARE(fixesOf(path), 1);
        QCOMPARE(read(path), QByteArray("int a;\n"));

        QVERIFY(write(path, "int b;\n"));
        QTRY_COMPARE_WITH_TIMEOUT(read(path), QByteArray("INT B;\n"), 10000);
        QCOMPARE(fixesOf(path), 2);
        QVERIFY(journal.find(journal.fixes().last().id)->undone());
    }
};

SPRUCER_TEST_MAIN(TestFixUndo)
#include "TestFixUndo.moc"
