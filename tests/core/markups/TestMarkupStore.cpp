// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/MarkupStore.h"
#include "core/markups/MarkupWatcher.h"
#include "support/TestMain.h"

using namespace Qt::StringLiterals;

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
};

SPRUCER_TEST_MAIN(TestMarkupStore)
#include "TestMarkupStore.moc"
