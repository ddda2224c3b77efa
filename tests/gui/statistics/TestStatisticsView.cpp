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
