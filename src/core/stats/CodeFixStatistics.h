// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/DailyFix.h"
#include "core/support/SalvagedList.h"

#include <QList>
#include <QObject>

#include <functional>

class UserDefaults;

// Fixes counted per calendar day and language, stored under "sprucerDailyStats".
// Lives on the main thread. `recordFix` may be called from any thread: each call is applied
// on the main thread, whole, so simultaneous fixes are all counted and never duplicate a day.
// Each record's day and stored form are worked out once and kept: a fix then costs the same
// with a year of records as with none. They are worked out again when the system's time zone
// changes, since a stored date is the record's local midnight turned into a moment.
// Another process (the agent beside the command line) records into the same value: a list
// stored since this one last read or wrote it is taken in before a fix is applied, so neither
// process's whole-list write erases the other's fixes.
class CodeFixStatistics : public QObject
{
    Q_OBJECT

public:
    static inline const QString storageKey = QStringLiteral("sprucerDailyStats");
    using Clock = std::function<QDateTime()>;

    // Loads the stored records.
    explicit CodeFixStatistics(UserDefaults &settings, QObject *parent = nullptr);

    const QList<DailyFix> &dailyFixes() const { return m_dailyFixes; }
    void setDailyFixes(const QList<DailyFix> &fixes);

    void recordFix(const QString &language);
    // A list read in part keeps its readable records; the stored value is backed up first.
    void loadStatistics();
    void saveStatistics();
    // Today and the year before it, both ends included, in list order.
    QList<DailyFix> lastYearFixes() const;

    // Tests set the current time; the default is the system clock.
    void setClock(Clock clock);

    static QByteArray encode(const QList<DailyFix> &fixes);
    static SalvagedList<DailyFix> decode(const QByteArray &json);

Q_SIGNALS:
    void dailyFixesChanged();

private:
    // What a record's day and stored form were worked out as, in the zone `m_zone`.
    struct Worked
    {
        QDate day;
        QByteArray stored;
    };

    QDateTime startOfToday() const;
    void applyFix(const QDateTime &today, const QString &language);
    static Worked workOut(const DailyFix &fix);
    // Works every record out again when the zone is not the one they were worked out in.
    void followZone();
    void load(const QVariant &stored);
    // Takes in a list another process stored; false when it must be loaded whole.
    bool takeIn(const QByteArray &stored);
    static qsizetype recordEnd(QByteArrayView json, qsizetype at);
    void store();

    UserDefaults &m_settings;
    QList<DailyFix> m_dailyFixes;
    QList<Worked> m_worked; // one per record, in the same order
    QByteArray m_zone;
    QByteArray m_stored; // the value as this store last read or wrote it
    Clock m_clock;
};
