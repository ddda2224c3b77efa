// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stats/CodeFixStatistics.h"
#include "core/support/MidnightTimer.h"
#include "gui/statistics/ContributionChart.h"
#include "gui/statistics/StatisticsView.h"
#include "gui/support/Palette.h"
#include "support/GuiTestMain.h"
#include "support/UnnamedControls.h"

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolTip>

using namespace Qt::StringLiterals;

namespace {

// Counts the paints of the object it watches.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

QString toolTipAt(ContributionChart &chart, QPoint point)
{
    QHelpEvent help(QEvent::ToolTip, point, chart.mapToGlobal(point));
    QApplication::sendEvent(&chart, &help);
    return help.isAccepted() && QToolTip::isVisible() ? QToolTip::text() : QString();
}

} // namespace

class TestStatisticsView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void init()
    {
        TestHome::current().reset();
        m_now = QDateTime(QDate(2025, 3, 1), QTime(12, 0));
        m_statistics = std::make_unique<CodeFixStatistics>(TestHome::settings());
        m_statistics->setClock(clock());
    }

    // Days run down the columns, each square says its day, and the keyboard reaches them.
    void squaresNameTheirDayAndCount()
    {
        const QDateTime today = m_now.date().startOfDay();
        ContributionChart chart({{today, 2, u"Swift"_s}, {today, 1, u"Kotlin"_s}}, 7, clock());
        const QList<ContributionDay> &days = chart.days().days();
        QCOMPARE(days.size(), 366);
        QCOMPARE(chart.columns(), 53);
        const QPoint origin = chart.contentsRect().topLeft();
        QCOMPARE(chart.cellRect(365), QRect(origin + QPoint(52 * 18, 1 * 18), QSize(14, 14)));
        QCOMPARE(chart.cellRect(8).topLeft(), origin + QPoint(18, 18));
        QCOMPARE(chart.width(), 53 * 18 - 4 + 2 * origin.x());

        QCOMPARE(chart.accessibleDescription(), u"3 fixes in the last year; today 3"_s);
        chart.show();
        QCOMPARE(toolTipAt(chart, chart.cellRect(365).center()), u"3 fixes on Mar 1, 2025"_s);
        QCOMPARE(toolTipAt(chart, chart.cellRect(0).bottomRight()), u"0 fixes on Mar 1, 2024"_s);
        QCOMPARE(toolTipAt(chart, chart.cellRect(0).bottomRight() + QPoint(2, 2)), QString());
        QCOMPARE(toolTipAt(chart, chart.cellRect(365).center() + QPoint(0, 18)), QString());
        QTRY_VERIFY(!QToolTip::isVisible());

        chart.setFocus();
        QTRY_VERIFY(chart.hasFocus());
        QCOMPARE(chart.accessibleDescription(), u"3 fixes on Mar 1, 2025"_s);
        for (const Qt::Key key : {Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Right})
            QTest::keyClick(&chart, key);
        QCOMPARE(chart.focusedDay(), 365); // the last day, not past it
        QTest::keyClick(&chart, Qt::Key_Up);
        QCOMPARE(chart.accessibleDescription(), u"0 fixes on Feb 28, 2025"_s);
        chart.clearFocus();
        QCOMPARE(chart.accessibleDescription(), u"3 fixes in the last year; today 3"_s);
    }

    // A fix recorded while the screen is open repaints today's square in its new shade, and the
    // chart shows today at its right edge until the user scrolls away.
    void aRecordedFixRepaintsTodayInView()
    {
        StatisticsView view(*m_statistics, clock());
        view.resize(500, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        ContributionChart &chart = *view.chart();
        QScrollBar *bar = view.chartArea()->horizontalScrollBar();
        QVERIFY(bar->isVisible() && bar->maximum() > 0);
        QTRY_COMPARE(bar->value(), bar->maximum());
        const QRect todaySquare = chart.cellRect(365);
        const QRect shown(chart.mapFrom(view.chartArea()->viewport(), QPoint()),
                          view.chartArea()->viewport()->size());
        QVERIFY(shown.contains(todaySquare));
        QCOMPARE(unnamedControls(), QStringList());

        const auto todaysPixel = [&] {
            return chart.grab().toImage().pixelColor(todaySquare.center() *
                                                     chart.devicePixelRatio());
        };
        const QColor before = todaysPixel();
        PaintCounter painted;
        chart.installEventFilter(&painted);
        for (int fix = 0; fix < 4; ++fix)
            m_statistics->recordFix(fix % 2 ? u"Swift"_s : u"C++"_s);
        QTRY_VERIFY(painted.paints > 0);
        QCOMPARE(chart.days().days().last().count, 4);
        QCOMPARE(view.totalLine()->text(), u"4 fixes in the last year"_s);
        QColor expected = Palette::green();
        expected.setAlphaF(0.5f);
        QCOMPARE(chart.fill(365), expected);
        QVERIFY(todaysPixel() != before);

        bar->setValue(0);
        m_statistics->recordFix(u"Swift"_s);
        view.resize(450, 400);
        QTRY_COMPARE(chart.days().days().last().count, 5);
        QCOMPARE(bar->value(), 0);
    }

    // Months are named over the columns they begin in and rows by their weekday; at any width
    // the area shows whole weeks, and the keyboard scrolls a week at a time.
    void weeksShowWholeAndNamed()
    {
        StatisticsView view(*m_statistics, clock());
        ContributionChart &chart = *view.chart();
        const QList<ContributionChart::MonthMark> months = chart.monthMarks();
        QCOMPARE(months.size(), 13); // Mar 1, 2024 (a Friday) through Mar 1, 2025
        QCOMPARE(months.first(), (ContributionChart::MonthMark{0, u"Mar"_s}));
        QCOMPARE(months.at(1), (ContributionChart::MonthMark{31 / 7, u"Apr"_s}));
        QCOMPARE(months.last(), (ContributionChart::MonthMark{365 / 7, u"Mar"_s}));
        QCOMPARE(view.weekdayLabels().first()->text(), u"Fri"_s);
        QCOMPARE(view.weekdayLabels().last()->text(), u"Thu"_s);

        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QScrollBar *bar = view.chartArea()->horizontalScrollBar();
        for (const int width : {420, 613, 777, 1100}) {
            view.resize(width, 400);
            QTRY_COMPARE(view.chartArea()->width(), view.chartArea()->maximumWidth());
            bar->setValue(bar->maximum());
            QVERIFY2(onlyWholeSquaresShown(view), qPrintable(QString::number(width)));
            bar->setValue(bar->maximum() / 2 + 7);
            QCOMPARE(bar->value() % ContributionChart::pitch, 0);
            QVERIFY2(onlyWholeSquaresShown(view), qPrintable(QString::number(width)));
        }

        view.resize(420, 400);
        QTRY_COMPARE(view.chartArea()->width(), view.chartArea()->maximumWidth());
        bar->setValue(bar->maximum());
        chart.setFocus();
        QTRY_VERIFY(chart.hasFocus());
        const int firstShown = bar->value() / ContributionChart::pitch;
        for (int week = 52; week >= firstShown; --week)
            QTest::keyClick(&chart, Qt::Key_Left);
        QCOMPARE(bar->value(), (firstShown - 1) * ContributionChart::pitch);
        QVERIFY(onlyWholeSquaresShown(view));
    }

    // At midnight the chart moves on a day, with a single timer per day; hidden, none at all.
    void midnightBringsANewEmptyDay()
    {
        m_statistics->recordFix(u"Swift"_s);
        m_now = QDateTime(QDate(2025, 3, 1), QTime(23, 59, 59, 500));
        StatisticsView view(*m_statistics, clock());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QList<ContributionDay> &days = view.chart()->days().days();
        QCOMPARE(view.midnightTimer()->interval(), 1000); // never sooner than a second
        m_now = QDateTime(QDate(2025, 3, 2), QTime(0, 0, 0, 500));
        QTRY_COMPARE(days.last(), (ContributionDay{QDate(2025, 3, 2), 0}));
        QCOMPARE(days.first().date, QDate(2024, 3, 2));
        QCOMPARE(days.at(days.size() - 2), (ContributionDay{QDate(2025, 3, 1), 1}));

        constexpr int day = 24 * 3600 * 1000;
        QCOMPARE(view.midnightTimer()->interval(), day - 500);
        for (const QTimer *timer : view.findChildren<QTimer *>()) {
            if (timer->isActive())
                QVERIFY(timer->isSingleShot() || timer->interval() >= day);
        }
        view.hide();
        QVERIFY(!view.midnightTimer()->isActive());
        // A day that began while the screen was hidden (or the computer asleep) shows at once.
        m_now = m_now.addDays(1);
        view.show();
        QCOMPARE(days.last().date, QDate(2025, 3, 3));
        QVERIFY(view.midnightTimer()->isActive());
    }

private:
    // Every square in the area's view is whole, and some are.
    static bool onlyWholeSquaresShown(StatisticsView &view)
    {
        const ContributionChart &chart = *view.chart();
        const QWidget *viewport = view.chartArea()->viewport();
        const QRect shown(chart.mapFrom(viewport, QPoint()), viewport->size());
        int whole = 0;
        for (int day = 0; day < chart.days().days().size(); ++day) {
            const QRect square = chart.cellRect(day);
            if (square.intersects(shown) && !shown.contains(square))
                return false;
            whole += shown.contains(square) ? 1 : 0;
        }
        return whole > 0;
    }

    CodeFixStatistics::Clock clock()
    {
        return [this] {
            return m_now;
        };
    }

    QDateTime m_now;
    std::unique_ptr<CodeFixStatistics> m_statistics;
};

SPRUCER_GUI_TEST_MAIN(TestStatisticsView)
#include "TestStatisticsView.moc"
