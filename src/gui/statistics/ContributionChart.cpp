// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/statistics/ContributionChart.h"

#include "gui/support/Palette.h"
#include "gui/support/TextStyles.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

#include <algorithm>

namespace {

constexpr int kPitch = ContributionChart::pitch;
// The first column's month is named only when the next name leaves it room.
constexpr int kColumnsForAName = 3;

// How far the arrow keys move the focused day: a column sideways, a day up or down.
int stepFor(int key, int rows)
{
    switch (key) {
    case Qt::Key_Left:
        return -rows;
    case Qt::Key_Right:
        return rows;
    case Qt::Key_Up:
        return -1;
    case Qt::Key_Down:
        return 1;
    default:
        return 0;
    }
}

} // namespace

QColor ContributionChart::colourOf(ContributionDays::Shade shade)
{
    QColor colour = shade.hue == ContributionDays::Hue::green ? Palette::green() : Palette::gray();
    colour.setAlphaF(float(shade.opacity));
    return colour;
}

ContributionChart::ContributionChart(const QList<DailyFix> &fixes, int rows, Clock clock,
                                     QWidget *parent)
    : QWidget(parent)
    , m_rows(std::max(rows, 1))
    , m_clock(clock ? std::move(clock) : [] { return QDateTime::currentDateTime(); })
{
    setAccessibleName(QStringLiteral("Code fix activity"));
    // From the keyboard only: a click would put the focus ring on today, not on the square.
    setFocusPolicy(Qt::TabFocus);
    setFont(TextStyles::font(TextStyles::Style::caption, font()));
    // Above and below, a child's inset (though the chart is made before it has a parent) and
    // the months' names. At the sides only room for the focus ring: half the spacing, so a
    // column and its spacing take one pitch and the chart scrolls by whole columns.
    const int inset = style()->pixelMetric(QStyle::PM_LayoutTopMargin);
    const int monthBand = fontMetrics().height() + cellSpacing;
    setContentsMargins(cellSpacing / 2, inset + monthBand, cellSpacing / 2, inset);
    setFixes(fixes);
}

void ContributionChart::setFixes(const QList<DailyFix> &fixes)
{
    m_days = ContributionDays(fixes, m_clock());
    m_fills.clear();
    m_fills.reserve(m_days.days().size());
    for (const ContributionDay &day : m_days.days())
        m_fills.append(colourOf(ContributionDays::shade(day.count)));
    m_focused = std::min(m_focused, int(m_days.days().size()) - 1);
    markMonths();
    setFixedSize(sizeHint());
    describe();
    update();
}

int ContributionChart::columns() const
{
    return (int(m_days.days().size()) + m_rows - 1) / m_rows;
}

QSize ContributionChart::sizeHint() const
{
    const QMargins inset = contentsMargins();
    const auto extent = [](int cells) {
        return std::max(cells * kPitch - cellSpacing, 0);
    };
    return {extent(columns()) + inset.left() + inset.right(),
            extent(m_rows) + inset.top() + inset.bottom()};
}

QRect ContributionChart::cellRect(int index) const
{
    const QPoint origin = contentsRect().topLeft();
    return {origin.x() + index / m_rows * kPitch, origin.y() + index % m_rows * kPitch, cellSize,
            cellSize};
}

int ContributionChart::columnAt(int x) const
{
    return std::clamp((x - contentsRect().left()) / kPitch, 0, std::max(columns() - 1, 0));
}

int ContributionChart::weekdayOfRow(int row) const
{
    const QList<ContributionDay> &days = m_days.days();
    return row < days.size() ? days.at(row).date.dayOfWeek() : 0;
}

void ContributionChart::markMonths()
{
    m_months.clear();
    const QList<ContributionDay> &days = m_days.days();
    for (int index = 0; index < days.size(); ++index) {
        const QDate date = days.at(index).date;
        if (index > 0 && date.day() != 1)
            continue;
        const int column = index / m_rows;
        // The first column's name gives way to a month beginning just after it.
        if (m_months.size() == 1 && m_months.first().column == 0 && column < kColumnsForAName)
            m_months.clear();
        m_months.append({column, locale().standaloneMonthName(date.month(), QLocale::ShortFormat)});
    }
}

int ContributionChart::dayAt(QPoint point) const
{
    const QPoint offset = point - contentsRect().topLeft();
    if (offset.x() < 0 || offset.y() < 0)
        return -1;
    const int column = offset.x() / kPitch;
    const int row = offset.y() / kPitch;
    const bool inSquare = offset.x() % kPitch < cellSize && offset.y() % kPitch < cellSize;
    const int index = column * m_rows + row;
    if (!inSquare || row >= m_rows || index >= m_days.days().size())
        return -1;
    return index;
}

bool ContributionChart::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        showToolTip(static_cast<QHelpEvent *>(event));
        return true;
    }
    return QWidget::event(event);
}

void ContributionChart::showToolTip(QHelpEvent *event)
{
    const int index = dayAt(event->pos());
    if (index < 0) {
        QToolTip::hideText();
        event->ignore();
        return;
    }
    QToolTip::showText(event->globalPos(), dayText(index), this, cellRect(index));
}

void ContributionChart::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRect exposed = event->rect();
    const int left = exposed.left() - contentsRect().left();
    const int right = exposed.right() - contentsRect().left();
    const int first = std::max(left / kPitch, 0);
    const int last = std::min(right / kPitch, columns() - 1);
    const int count = int(m_fills.size());
    for (int index = first * m_rows; index < std::min((last + 1) * m_rows, count); ++index) {
        const QRect cell = cellRect(index);
        if (!cell.intersects(exposed))
            continue;
        painter.setBrush(m_fills.at(index));
        painter.drawRoundedRect(cell, cornerRadius, cornerRadius);
    }
    paintMonths(painter, exposed);
    paintFocus(painter);
}

void ContributionChart::paintMonths(QPainter &painter, const QRect &exposed) const
{
    const QRect band(0, 0, width(), contentsRect().top() - cellSpacing);
    if (!band.intersects(exposed))
        return;
    painter.setPen(palette().color(QPalette::PlaceholderText));
    for (const MonthMark &month : m_months) {
        const int textWidth = painter.fontMetrics().horizontalAdvance(month.name);
        // The last column's name keeps to the chart rather than being cut at its edge.
        const int left = std::min(cellRect(month.column * m_rows).left(), width() - textWidth);
        const QRect name(left, band.top(), textWidth, band.height());
        if (name.intersects(exposed))
            painter.drawText(name, Qt::AlignLeft | Qt::AlignBottom, month.name);
    }
}

void ContributionChart::paintFocus(QPainter &painter) const
{
    if (!hasFocus() || m_focused < 0)
        return;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawRoundedRect(QRectF(cellRect(m_focused)).adjusted(-1, -1, 1, 1), cornerRadius + 1,
                            cornerRadius + 1);
}

void ContributionChart::keyPressEvent(QKeyEvent *event)
{
    const int step = stepFor(event->key(), m_rows);
    if (step == 0 || m_focused < 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    moveFocus(std::clamp(m_focused + step, 0, int(m_days.days().size()) - 1));
}

void ContributionChart::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    moveFocus(m_focused < 0 ? int(m_days.days().size()) - 1 : m_focused);
}

void ContributionChart::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    describe();
    update();
}

void ContributionChart::moveFocus(int index)
{
    if (index < 0)
        return;
    // The ring is drawn outside the square: repaint a little around both.
    const QMargins ring(2, 2, 2, 2);
    if (m_focused >= 0)
        update(cellRect(m_focused) + ring);
    m_focused = index;
    update(cellRect(m_focused) + ring);
    describe();
    Q_EMIT focusedCellMoved(cellRect(m_focused));
}

void ContributionChart::describe()
{
    const bool onADay = hasFocus() && m_focused >= 0;
    setAccessibleDescription(onADay ? dayText(m_focused) : m_days.summary());
}

QString ContributionChart::dayText(int index) const
{
    return ContributionDays::describe(m_days.days().at(index), locale());
}
