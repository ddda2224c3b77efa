// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/FixHistoryModel.h"
#include "core/history/FixJournal.h"
#include "core/support/DateStyles.h"
#include "support/TestMain.h"

#include <QCryptographicHash>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

const QDate kToday(2026, 12, 7);

void keep(FixJournal &journal, const QString &path, const QDateTime &when,
          FixOutcome::Origin origin = FixOutcome::Origin::save, quint64 delivery = 0)
{
    journal.setClock([when] { return when; });
    FixOutcome outcome;
    outcome.path = path;
    outcome.origin = origin;
    outcome.delivery = delivery;
    outcome.result = FixOutcome::Result::changed;
    outcome.contentBefore = "a\n";
    outcome.contentAfter = "b\nc\n";
    outcome.digestBefore = QCryptographicHash::hash("a\n", QCryptographicHash::Sha256);
    outcome.digestAfter = QCryptographicHash::hash("b\nc\n", QCryptographicHash::Sha256);
    journal.record(outcome, u"Project"_s, u"LLVM"_s);
    journal.flush();
}

QDateTime at(int daysAgo, int hour)
{
    return QDateTime(kToday.addDays(-daysAgo), QTime(hour, 0));
}

QStringList rowsOf(const FixHistoryModel &model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row)
        rows.append(model.index(row).data().toString());
    return rows;
}

} // namespace

// The History screen's rows: days and runs as headers over their fixes, the filter by path,
// and new fixes coming in while it is shown.
class TestFixHistoryModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void groupsByDayAndRunAndFilters()
    {
        QTemporaryDir dir;
        FixJournal journal(dir.path());
        keep(journal, u"/p/old.cpp"_s, at(3, 9));
        keep(journal, u"/p/src/a.cpp"_s, at(1, 10), FixOutcome::Origin::run, 4);
        keep(journal, u"/p/src/b.cpp"_s, at(1, 10), FixOutcome::Origin::run, 4);
        keep(journal, u"/p/lib/c.cpp"_s, at(0, 11));
        FixHistoryModel model(journal, [] { return kToday; });

        const QString older = DateStyles::medium(kToday.addDays(-3), QLocale());
        QCOMPARE(rowsOf(model),
                 (QStringList{u"Today"_s, u"11:00 AM   c.cpp   Project   +2 −1 lines"_s,
                              u"Yesterday"_s, u"Run Fixers · Project · 2 files"_s,
                              u"10:00 AM   b.cpp   Project   +2 −1 lines"_s,
                              u"10:00 AM   a.cpp   Project   +2 −1 lines"_s, older,
                              u"9:00 AM   old.cpp   Project   +2 −1 lines"_s}));
        QCOMPARE(model.flags(model.index(0)) & Qt::ItemIsSelectable, Qt::NoItemFlags);
        QCOMPARE(model.runAt(3), model.fixAt(4)->run);
        QCOMPARE(model.rowOfRun(model.runAt(3)), 3);

        model.setFilter(u"SRC/"_s);
        QCOMPARE(rowsOf(model), (QStringList{u"Yesterday"_s, u"Run Fixers · Project · 2 files"_s,
                                             u"10:00 AM   b.cpp   Project   +2 −1 lines"_s,
                                             u"10:00 AM   a.cpp   Project   +2 −1 lines"_s}));
        model.setFilter(u"b.cpp"_s);
        QCOMPARE(rowsOf(model).value(1), u"Run Fixers · Project · 1 file"_s);
    }

    void followsNewFixesAndUndos()
    {
        QTemporaryDir dir;
        FixJournal journal(dir.path());
        FixHistoryModel model(journal, [] { return kToday; });
        QCOMPARE(model.rowCount(), 0);
        keep(journal, u"/p/a.cpp"_s, at(0, 8));
        QTRY_COMPARE(model.rowCount(), 2);
        // Another process's fix is read when the journal is read again.
        FixJournal other(dir.path());
        keep(other, u"/p/b.cpp"_s, at(0, 9));
        keep(journal, u"/p/c.cpp"_s, at(0, 10));
        QTRY_COMPARE(model.rowCount(), 4);
        QCOMPARE(model.fixAt(1)->path, u"/p/c.cpp"_s);
        QVERIFY(journal.recordUndo(*model.fixAt(2)));
        QTRY_VERIFY(model.index(2).data(FixHistoryModel::UndoneRole).toBool());
        QVERIFY(model.index(2).data().toString().endsWith(u"undone"_s));
    }
};

SPRUCER_TEST_MAIN(TestFixHistoryModel)
#include "TestFixHistoryModel.moc"
