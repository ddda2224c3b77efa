// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/history/FixRecord.h"

#include <QAbstractListModel>
#include <QDate>
#include <QList>

#include <functional>

class FixJournal;

// The rows of the History screen: the fixes kept, newest first, under a header for each day;
// the fixes of one run over a tree (or one command) under a header of their own, from which
// the run is undone. A filter keeps the fixes whose path holds its text. It follows the
// journal: the rows are read again whenever the journal changes. Main thread.
class FixHistoryModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum class RowKind
    {
        day,
        run,
        fix,
    };
    enum Role
    {
        KindRole = Qt::UserRole + 1, // RowKind as an int
        IdRole,                      // a fix's id
        RunRole,                     // a run's key (run headers and their fixes)
        UndoneRole,
        LinesRole, // "+3 −2 lines"
    };
    using Today = std::function<QDate()>;

    explicit FixHistoryModel(FixJournal &journal, Today today = {}, QObject *parent = nullptr);

    void setFilter(const QString &text);
    QString filter() const { return m_filter; }
    // Reads the journal again now, rather than once the event loop comes back.
    void reload();

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    RowKind kindAt(int row) const { return m_rows.at(row).kind; }
    // Null unless the row is a fix.
    const FixRecord *fixAt(int row) const;
    QString runAt(int row) const { return m_rows.at(row).run; }
    // The row of the fix, or of the run's header; -1 when not shown.
    int rowOfFix(quint64 id) const;
    int rowOfRun(const QString &run) const;

private:
    struct Row
    {
        RowKind kind = RowKind::fix;
        QDate day;
        QString run;
        int runSize = 0;    // a run header: its fixes shown
        qsizetype fix = -1; // into m_fixes
    };

    void scheduleReload();
    void build();
    QString dayText(QDate day) const;
    QString runText(const Row &row) const;
    static QString fixText(const FixRecord &fix);

    FixJournal &m_journal;
    Today m_today;
    QString m_filter;
    QList<FixRecord> m_fixes;
    QList<Row> m_rows;
    bool m_reloadPending = false;
};
