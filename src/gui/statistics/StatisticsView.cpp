// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/statistics/StatisticsView.h"

#include "core/stats/CodeFixStatistics.h"
#include "core/support/MidnightTimer.h"
#include "gui/statistics/ContributionChart.h"
#include "gui/support/Controls.h"
#include "gui/support/TextStyles.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

StatisticsView::StatisticsView(CodeFixStatistics &statistics, Clock clock, QWidget *parent)
    : QWidget(parent)
    , m_statistics(statistics)
    , m_chart(new ContributionChart(statistics.lastYearFixes(), chartRows, clock))
    , m_total(TextStyles::label(QString(), TextStyles::Style::headline))
    , m_chartArea(new QScrollArea)
    , m_midnight(new MidnightTimer(clock, this))
{
    setAccessibleName(QStringLiteral("Statistics"));
    makeChartArea();
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(20);
    layout->addWidget(
        TextStyles::label(QStringLiteral("Code Fix Activity"), TextStyles::Style::title2));
    layout->addWidget(makeCard());
    layout->addStretch();

    connect(&m_statistics, &CodeFixStatistics::dailyFixesChanged, this, &StatisticsView::showFixes);
    connect(m_midnight, &MidnightTimer::dayBegan, this, &StatisticsView::showFixes);
}

QWidget *StatisticsView::makeCard()
{
    auto *card = new QFrame;
    card->setObjectName(QStringLiteral("StatisticsCard"));
    // Set off from the window, as a card: its own background and a thin edge.
    card->setStyleSheet(QStringLiteral("QFrame#StatisticsCard { background: palette(base); "
                                       "border: 1px solid palette(mid); border-radius: 8px; }"));
    auto *layout = new QVBoxLayout(card);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(8);
    layout->addWidget(m_total);
    layout->addWidget(Controls::secondaryLabel(QStringLiteral("Last 365 days of code fixes")));
    m_chartRow = new QWidget;
    auto *row = new QHBoxLayout(m_chartRow);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(makeWeekdayColumn(), 0, Qt::AlignTop);
    row->addWidget(m_chartArea, 1);
    row->addStretch();
    m_chartRow->installEventFilter(this);
    layout->addWidget(m_chartRow);
    layout->addLayout(makeLegend());
    showTotal();
    return card;
}

// "Less", the five shades from no fix to ten or more, "More".
QLayout *StatisticsView::makeLegend()
{
    auto *legend = new QHBoxLayout;
    legend->setSpacing(4);
    legend->addStretch();
    legend->addWidget(Controls::secondaryLabel(QStringLiteral("Less")));
    for (const qint64 count : {0, 1, 4, 7, 10}) {
        QPixmap swatch(ContributionChart::cellSize, ContributionChart::cellSize);
        swatch.fill(Qt::transparent);
        QPainter painter(&swatch);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(ContributionChart::colourOf(ContributionDays::shade(count)));
        painter.drawRoundedRect(swatch.rect(), ContributionChart::cornerRadius,
                                ContributionChart::cornerRadius);
        painter.end();
        auto *square = new QLabel;
        square->setPixmap(swatch);
        square->setAccessibleName(count == 0 ? QStringLiteral("No fixes")
                                             : QStringLiteral("%1 or more fixes").arg(count));
        legend->addWidget(square);
    }
    legend->addWidget(Controls::secondaryLabel(QStringLiteral("More")));
    return legend;
}

// The rows' weekdays, level with the squares; they stay put while the weeks scroll.
QWidget *StatisticsView::makeWeekdayColumn()
{
    auto *column = new QWidget;
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, m_chart->contentsMargins().top(), 4, 0);
    layout->setSpacing(ContributionChart::cellSpacing);
    for (int row = 0; row < chartRows; ++row) {
        QLabel *weekday = Controls::secondaryLabel(QString());
        weekday->setWordWrap(false);
        weekday->setFont(m_chart->font());
        weekday->setFixedHeight(ContributionChart::cellSize);
        weekday->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        layout->addWidget(weekday);
        m_weekdays.append(weekday);
    }
    layout->addStretch();
    nameWeekdays();
    return column;
}

void StatisticsView::nameWeekdays()
{
    for (int row = 0; row < m_weekdays.size(); ++row)
        m_weekdays.at(row)->setText(
            locale().standaloneDayName(m_chart->weekdayOfRow(row), QLocale::ShortFormat));
}

void StatisticsView::showTotal()
{
    const QString total = QStringLiteral("%L1 fixes in the last year").arg(m_chart->days().total());
    m_total->setText(total);
    m_total->setAccessibleName(total);
}

void StatisticsView::makeChartArea()
{
    QScrollBar *bar = m_chartArea->horizontalScrollBar();
    m_chartArea->setWidget(m_chart);
    m_chartArea->setFrameShape(QFrame::NoFrame);
    m_chartArea->viewport()->setBackgroundRole(QPalette::Base); // the card's, not the window's
    // The chart takes the focus and scrolls itself to the focused day: one stop, not two.
    m_chartArea->setFocusPolicy(Qt::NoFocus);
    m_chartArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_chartArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The scroll bar goes below the chart, never over its last row, whatever the style's inset.
    const int shown = std::max(chartHeight, m_chart->height());
    m_chartArea->setFixedHeight(shown + bar->sizeHint().height());
    m_chartArea->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar] {
        if (m_keepsToday)
            bar->setValue(bar->maximum());
    });
    bar->setSingleStep(ContributionChart::pitch);
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) {
        m_keepsToday = value == bar->maximum();
        snapToColumn(value);
    });
    connect(m_chart, &ContributionChart::focusedCellMoved, this,
            [this](const QRect &cell) { showColumn(m_chart->columnAt(cell.center().x())); });
}

bool StatisticsView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_chartRow && event->type() == QEvent::Resize) {
        const int weekdays = m_weekdays.first()->parentWidget()->sizeHint().width();
        fitWholeWeeks(m_chartRow->width() - weekdays);
    }
    return QWidget::eventFilter(watched, event);
}

// The chart's area takes the whole columns that fit, so no square is ever cut at its edges.
void StatisticsView::fitWholeWeeks(int available)
{
    const QMargins inset = m_chart->contentsMargins();
    const int sides = inset.left() + inset.right();
    const int fits =
        (available - sides + ContributionChart::cellSpacing) / ContributionChart::pitch;
    const int columns = std::clamp(fits, 1, m_chart->columns());
    m_chartArea->setMaximumWidth(columns * ContributionChart::pitch -
                                 ContributionChart::cellSpacing + sides);
}

void StatisticsView::snapToColumn(int value)
{
    QScrollBar *bar = m_chartArea->horizontalScrollBar();
    const int pitch = ContributionChart::pitch;
    const int snapped = std::min((value + pitch / 2) / pitch * pitch, bar->maximum());
    if (snapped != value)
        bar->setValue(snapped);
}

// Scrolls by whole columns until `column` is in view.
void StatisticsView::showColumn(int column)
{
    QScrollBar *bar = m_chartArea->horizontalScrollBar();
    const int pitch = ContributionChart::pitch;
    const QMargins inset = m_chart->contentsMargins();
    const int viewport = m_chartArea->viewport()->width() - inset.left() - inset.right();
    const int shown = std::max((viewport + ContributionChart::cellSpacing) / pitch, 1);
    const int first = bar->value() / pitch;
    if (column < first)
        bar->setValue(column * pitch);
    else if (column >= first + shown)
        bar->setValue((column - shown + 1) * pitch);
}

void StatisticsView::showFixes()
{
    m_chart->setFixes(m_statistics.lastYearFixes());
    nameWeekdays();
    showTotal();
}

// Hidden, the screen sets no timer at all; shown again, it catches up with a day that began
// meanwhile (also one the timer missed while the computer slept).
void StatisticsView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    showFixes();
    m_midnight->start();
}

void StatisticsView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_midnight->stop();
}
