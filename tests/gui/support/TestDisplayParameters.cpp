// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/ParameterBoard.h"
#include "gui/support/DisplayParameters.h"
#include "support/GuiTestMain.h"

#include <QApplication>
#include <QScreen>

#include <future>

using namespace Qt::StringLiterals;

class TestDisplayParameters : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What the headless mode leaves empty is filled here, read on another thread, and follows
    // the user's switch to a dark scheme while the program runs.
    void valuesReachTheBoardAndFollowTheScheme()
    {
        const auto board = std::make_shared<ParameterBoard>();
        const DisplayParameters display(board);
        const auto provider = board->provider();
        auto onAnotherThread = [&provider] {
            return std::async(std::launch::async, provider).get();
        };

        QMap<QString, QString> values = onAnotherThread();
        const QSize screen = QGuiApplication::primaryScreen()->size();
        QCOMPARE(values.value(u"TelemetryDeck.Device.screenResolutionWidth"_s),
                 QString::number(screen.width()));
        QCOMPARE(values.value(u"TelemetryDeck.Device.screenResolutionHeight"_s),
                 QString::number(screen.height()));
        QCOMPARE(values.value(u"TelemetryDeck.Device.screenScaleFactor"_s), u"1.0"_s);
        QVERIFY(!values.value(u"TelemetryDeck.Device.orientation"_s).isEmpty());
        QVERIFY(!values.value(u"TelemetryDeck.Accessibility.isReduceMotionEnabled"_s).isEmpty());
        QCOMPARE(values.value(u"TelemetryDeck.UserPreference.colorScheme"_s), u"Light"_s);

        const QPalette light = QApplication::palette();
        QPalette dark = light;
        dark.setColor(QPalette::Window, QColor(0x20, 0x22, 0x26));
        dark.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xe8));
        QApplication::setPalette(dark);
        QTRY_COMPARE(onAnotherThread().value(u"TelemetryDeck.UserPreference.colorScheme"_s),
                     u"Dark"_s);
        QApplication::setPalette(light);
        QTRY_COMPARE(onAnotherThread().value(u"TelemetryDeck.UserPreference.colorScheme"_s),
                     u"Light"_s);
    }
};

SPRUCER_GUI_TEST_MAIN(TestDisplayParameters)
#include "TestDisplayParameters.moc"
