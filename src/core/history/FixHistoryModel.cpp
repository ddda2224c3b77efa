// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/FixHistoryModel.h"

#include "core/history/FixJournal.h"
#include "core/support/DateStyles.h"

#include <QFileInfo>
#include <QLocale>
#include <QTimer>

FixHistoryModel::FixHistoryModel(FixJournal &journal, Today today, QObject *parent)
    : QAbstractListModel(parent)
    , m_journal(journal)
    , m_today(today ? std::move(today) : [] { return QDate::currentDate(); })
{
    // The journal says so from its writer's thread; a burst of fixes reads it once.
    connect(&journal, &FixJournal::changed, this, &FixHistoryModel::scheduleReload,
            Qt::QueuedConnection);
    reload();
}

void FixHistoryModel::setFilter(const QString &text)
{
    if (text == m_filter)
        return;
    m_filter = text;
    beginResetModel();
    build();
    endResetModel();
}

void FixHistoryModel::scheduleReload()
{
    if (std::exchange(m_reloadPending, true))
        return;
    QTimer::singleShot(0, this, [this] {
        if (m_reloadPending)
            reload();
    });
}

void FixHistoryModel::reload()
{
    m_reloadPending = false;
    beginResetModel();
    m_fixes = m_journal.fixes();
    build();
    endResetModel();
}

void FixHistoryModel::build()
{
    m_rows.clear();
    QDate day;
    QString run;
    qsizetype runHeader = -1;
    for (qsizetype i = 0; i < m_fixes.size(); ++i) {
        const FixRecord &fix = m_fixes.at(i);
        if (!m_filter.isEmpty() && !fix.path.contains(m_filter, Qt::CaseInsensitive))
            continue;
        const QDate fixDay = fix.time.date();
        if (fixDay != day) {
            day = fixDay;
            run.clear();
            runHeader = -1;
            m_rows.append({RowKind::day, day, {}, 0, -1});
        }
        if (fix.run != run) {
            run = fix.run;
            runHeader = -1;
            if (!run.isEmpty()) {
                runHeader = m_rows.size();
                m_rows.append({RowKind::run, day, run, 0, i});
            }
        }
        if (runHeader >= 0)
            ++m_rows[runHeader].runSize;
        m_rows.append({RowKind::fix, day, fix.run, 0, i});
    }
}

int FixHistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

const FixRecord *FixHistoryModel::fixAt(int row) const
{
    if (row < 0 || row >= m_rows.size() || m_rows.at(row).kind != RowKind::fix)
        return nullptr;
    return &m_fixes.at(m_rows.at(row).fix);
}

int FixHistoryModel::rowOfFix(quint64 id) const
{
    for (int row = 0; row < m_rows.size(); ++row) {
        if (const FixRecord *fix = fixAt(row); fix && fix->id == id)
            return row;
    }
    return -1;
}

int FixHistoryModel::rowOfRun(const QString &run) const
{
    for (int row = 0; row < m_rows.size(); ++row) {
        if (m_rows.at(row).kind == RowKind::run && m_rows.at(row).run == run)
            return row;
    }
    return -1;
}

Qt::ItemFlags FixHistoryModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // A day's header only names the day.
    if (m_rows.at(index.row()).kind == RowKind::day)
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

QVariant FixHistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index.row());
    const FixRecord *fix = row.fix >= 0 ? &m_fixes.at(row.fix) : nullptr;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return row.kind == RowKind::day   ? dayText(row.day)
               : row.kind == RowKind::run ? runText(row)
                                          : fixText(*fix);
    case Qt::ToolTipRole:
        return row.kind == RowKind::fix ? fix->path : QVariant();
    case KindRole:
        return int(row.kind);
    case IdRole:
        return row.kind == RowKind::fix ? QVariant(fix->id) : QVariant();
    case RunRole:
        return row.run;
    case UndoneRole:
        return row.kind == RowKind::fix && fix->undone();
    case LinesRole:
        return row.kind == RowKind::fix
                   ? QStringLiteral("+%1 −%2 lines").arg(fix->added).arg(fix->removed)
                   : QVariant();
    default:
        return {};
    }
}

QString FixHistoryModel::dayText(QDate day) const
{
    const QDate today = m_today();
    if (day == today)
        return QStringLiteral("Today");
    if (day == today.addDays(-1))
        return QStringLiteral("Yesterday");
    return DateStyles::medium(day, QLocale());
}

QString FixHistoryModel::runText(const Row &row) const
{
    const FixRecord &first = m_fixes.at(row.fix);
    const QString what = first.origin == FixOutcome::Origin::run ? QStringLiteral("Run Fixers")
                                                                 : QStringLiteral("sprucer format");
    const QString files =
        row.runSize == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(row.runSize);
    return first.watcher.isEmpty() ? QStringLiteral("%1 · %2").arg(what, files)
                                   : QStringLiteral("%1 · %2 · %3").arg(what, first.watcher, files);
}

QString FixHistoryModel::fixText(const FixRecord &fix)
{
    QString text = QStringLiteral("%1   %2   %3   +%4 −%5 lines")
                       .arg(QLocale().toString(fix.time.time(), QLocale::ShortFormat),
                            QFileInfo(fix.path).fileName(),
                            fix.watcher.isEmpty() ? QStringLiteral("—") : fix.watcher)
                       .arg(fix.added)
                       .arg(fix.removed);
    if (fix.undone())
        text += QStringLiteral("   undone");
    return text;
}
