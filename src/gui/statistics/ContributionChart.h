// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/stats/ContributionDays.h"

#include <QWidget>

#include <functional>

class QHelpEvent;

// The year of fixes as a grid of rounded squares, one per day, shaded by the day's count. Days
// run down a column, then on to the next one, so with seven rows each row is one weekday (the
// top one that of the year's first day). Month names stand above the columns where months
// begin. One widget paints every day, and only those in the exposed area. The arrow keys move a
// focused day, which screen readers hear as the description.
class ContributionChart : public QWidget
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;

    static constexpr int cellSize = 14;
    static constexpr int cellSpacing = 4;
    static constexpr int cornerRadius = 2;
    static constexpr int pitch = cellSize + cellSpacing;

    // A month's name over the column that holds its first day.
    struct MonthMark
    {
        int column = 0;
        QString name;

        friend bool operator==(const MonthMark &, const MonthMark &) = default;
    };

    // Tests hand in a clock; the default is the system clock.
    ContributionChart(const QList<DailyFix> &fixes, int rows, Clock clock = {},
                      QWidget *parent = nullptr);

    // Counts the fixes again, over the year ending today.
    void setFixes(const QList<DailyFix> &fixes);
    const ContributionDays &days() const { return m_days; }
    int rows() const { return m_rows; }
    int columns() const;

    QRect cellRect(int index) const;
    int columnAt(int x) const;
    QList<MonthMark> monthMarks() const { return m_months; }
    // The weekday (1 = Monday) of the days in `row`.
    int weekdayOfRow(int row) const;
    // The day under `point`, or -1 between the squares and around them.
    int dayAt(QPoint point) const;
    QColor fill(int index) const { return m_fills.value(index); }
    // The day the arrow keys move, or -1 before the chart has had the focus.
    int focusedDay() const { return m_focused; }

    QSize sizeHint() const override;

    // The colour a day of that shade is painted in; the legend shows the same.
    static QColor colourOf(ContributionDays::Shade shade);

Q_SIGNALS:
    // For the scroll area around the chart, which should bring the square into view.
    void focusedCellMoved(const QRect &cell);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void showToolTip(QHelpEvent *event);
    void paintFocus(QPainter &painter) const;
    void paintMonths(QPainter &painter, const QRect &exposed) const;
    void markMonths();
    void moveFocus(int index);
    void describe();
    QString dayText(int index) const;

    int m_rows;
    Clock m_clock;
    ContributionDays m_days;
    QList<QColor> m_fills;
    QList<MonthMark> m_months;
    int m_focused = -1;
};
