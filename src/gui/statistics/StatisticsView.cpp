// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/statistics/StatisticsView.h"

#include "core/stats/CodeFixStatistics.h"
#include "core/support/MidnightTimer.h"
#include "gui/statistics/ContributionChart.h"
#include "gui/support/Controls.h"
#include "gui/support/TextStyles.h"

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
    layout->addWidget(m_chartArea);
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
    connect(bar, &QScrollBar::valueChanged, this,
            [this, bar](int value) { m_keepsToday = value == bar->maximum(); });
    connect(m_chart, &ContributionChart::focusedCellMoved, this, [this](const QRect &cell) {
        m_chartArea->ensureVisible(cell.center().x(), cell.center().y(), cell.width(), 0);
    });
}

void StatisticsView::showFixes()
{
    m_chart->setFixes(m_statistics.lastYearFixes());
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
