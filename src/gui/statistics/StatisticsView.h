// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QWidget>

#include <functional>

class CodeFixStatistics;
class ContributionChart;
class MidnightTimer;
class QLabel;
class QLayout;
class QScrollArea;

// The "Statistics" screen: "Code Fix Activity" and a card with the year of fixes as a chart,
// drawn again when a fix is recorded and when a new day begins. The chart keeps today in view
// until the user scrolls away from it, and shows whole weeks only: its area is as wide as the
// whole columns that fit, and scrolls by columns.
class StatisticsView : public QWidget
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;

    static constexpr int chartRows = 7;
    static constexpr int chartHeight = 140;

    // Tests hand in a clock; the default is the system clock.
    explicit StatisticsView(CodeFixStatistics &statistics, Clock clock = {},
                            QWidget *parent = nullptr);

    ContributionChart *chart() const { return m_chart; }
    QLabel *totalLine() const { return m_total; }
    QScrollArea *chartArea() const { return m_chartArea; }
    QList<QLabel *> weekdayLabels() const { return m_weekdays; }
    MidnightTimer *midnightTimer() const { return m_midnight; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QWidget *makeCard();
    static QLayout *makeLegend();
    void showTotal();
    void makeChartArea();
    QWidget *makeWeekdayColumn();
    void nameWeekdays();
    void fitWholeWeeks(int available);
    void snapToColumn(int value);
    void showColumn(int column);
    void showFixes();

    CodeFixStatistics &m_statistics;
    ContributionChart *m_chart;
    QLabel *m_total;
    QScrollArea *m_chartArea;
    QWidget *m_chartRow = nullptr;
    QList<QLabel *> m_weekdays;
    MidnightTimer *m_midnight;
    bool m_keepsToday = true;
};
