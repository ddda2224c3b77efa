// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/MarkupStore.h"
#include "core/markups/MarkupWatcher.h"
#include "support/TestMain.h"

using namespace Qt::StringLiterals;

namespace {

// The findings of a file holding one note per text, a line each.
MarkupList notes(const QString &path, const QStringList &texts)
{
    QString content;
    for (const QString &text : texts)
        content += u"// TODO: "_s + text + u'\n';
    return MarkupWatcher::findMarkups(content, path);
}

} // namespace

class TestMarkupStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A watcher's findings come as one tree scan and then a file at a time after each fix,
    // a file often several times; the store must give back every record as a plain list would.
    void givesBackTheFindingsAsAddedInOrder()
    {
        const QString first = u"/work/src/ünïcode/first.cpp"_s;
        const QString second = u"/work/src/second.h"_s;
        const MarkupList scan =
            MarkupWatcher::findMarkups(u"// TODO: ship it\nint x; // FIXME: 境界 \U0001F600\n"
                                       "// TODO: a: b: c\n// todo: not this\n"_s,
                                       first) +
            MarkupWatcher::findMarkups(u"/* FIXME:   spaced out   */\n"_s + QString(3000, u'x') +
                                           u" TODO: after a long line"_s,
                                       second);
        const MarkupList afterFix = MarkupWatcher::findMarkups(u"// TODO: ship it\n"_s, first);
        Markup fixed = afterFix.first();
        fixed.fixed = true;
        fixed.line = 4'000'000'000;

        QCOMPARE(scan.size(), 5); // the files really hold what the store is tested with
        MarkupStore store;
        MarkupList plain;
        for (const MarkupList &batch : {scan, afterFix, MarkupList{fixed}, MarkupList()}) {
            store.append(batch);
            plain += batch;
        }
        QCOMPARE(store.size(), plain.size());
        QCOMPARE(store.toList(), plain);
        QCOMPARE(store.at(plain.size() - 1), fixed);

        store.clear();
        QVERIFY(store.isEmpty());
        store.append(afterFix);
        QCOMPARE(store.toList(), afterFix);
    }

    // A rescanned file's findings take the place of its earlier ones, wherever those were; the
    // other files' stay as and where they were.
    void aFileScannedAgainReplacesItsFindingsInPlace()
    {
        const QString a = u"/p/a.cpp"_s, b = u"/p/ü/b.h"_s, c = u"/p/c.cpp"_s;
        const MarkupList oldA = notes(a, {u"a1"_s, u"a2"_s}), oldB = notes(b, {u"b1"_s});
        const MarkupList oldC = notes(c, {u"c1"_s, u"c2"_s});
        MarkupStore store;
        store.append(oldA + oldB + oldC);

        const MarkupList newB = notes(b, {u"b1"_s, u"b2"_s, u"境界"_s});
        store.replaceFile(b, newB);
        QCOMPARE(store.toList(), oldA + newB + oldC);
        store.removeFile(a);
        store.removeFile(u"/p/never-seen.cpp"_s);
        QCOMPARE(store.toList(), newB + oldC);
        QVERIFY(store.holdsFile(b) && !store.holdsFile(a) && !store.holdsFile(u"/p"_s));

        // A file that had lost its findings goes at the end, like one new to the store.
        const MarkupList newA = notes(a, {u"back"_s});
        store.replaceFile(a, newA);
        QCOMPARE(store.toList(), newB + oldC + newA);
    }

    // Every save of a file replaces its findings: what the replaced ones took must go back,
    // texts and paths alike, or a long-running watcher grows with each save.
    void replacingOverAndOverKeepsTheBuffersBounded()
    {
        const QString kept = u"/p/kept.cpp"_s, saved = u"/p/saved.cpp"_s;
        const MarkupList keptNotes = notes(kept, {QString(200, u'k')});
        MarkupStore store;
        store.append(keptNotes);
        MarkupList last;
        for (int save = 0; save < 5000; ++save) {
            last = notes(saved, {u"save %1 of a long-lived note"_s.arg(save)});
            store.replaceFile(saved, last);
            QVERIFY(store.bufferBytes() < 1000);
        }
        QCOMPARE(store.toList(), keptNotes + last);

        // Files that come and go (generated, renamed, deleted) leave nothing behind either.
        for (int file = 0; file < 5000; ++file) {
            const QString path = u"/p/generated/%1.cpp"_s.arg(file);
            store.replaceFile(path, notes(path, {u"n"_s}));
            store.removeFile(path);
            QVERIFY(store.bufferBytes() < 1000);
        }
        QCOMPARE(store.toList(), keptNotes + last);

        // Still one path each after the buffers were rebuilt.
        store.replaceFile(kept, {});
        QCOMPARE(store.toList(), last);
        store.removeFile(saved);
        QVERIFY(store.isEmpty());
        QCOMPARE(store.bufferBytes(), 0);
    }
};

SPRUCER_TEST_MAIN(TestMarkupStore)
#include "TestMarkupStore.moc"
