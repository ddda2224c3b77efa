// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/support/Palette.h"
#include "support/GuiTestMain.h"

class TestPalette : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A status line's colour reads at 4.5:1 on light and dark windows, translucent ones too,
    // and keeps its hue; a colour that reads already is kept.
    void textColoursAreMadeReadable()
    {
        const QColor light(0xef, 0xef, 0xef);
        const QColor dark(0x2b, 0x30, 0x3b);
        QColor placeholder(Qt::black);
        placeholder.setAlpha(90);
        for (const QColor &background : {light, dark}) {
            for (const QColor &colour : {Palette::green(), Palette::red(), placeholder}) {
                const QColor made = Palette::readable(colour, background);
                QVERIFY(Palette::contrast(made, background) >= 4.5);
                if (colour.alpha() == 255 && colour != placeholder)
                    QVERIFY(std::abs(made.hslHue() - colour.hslHue()) <= 3);
            }
        }
        QCOMPARE(Palette::readable(Qt::black, light), QColor(Qt::black));
        QVERIFY(Palette::contrast(Palette::green(), light) < 4.5); // the fault it mends
    }
};

SPRUCER_GUI_TEST_MAIN(TestPalette)
#include "TestPalette.moc"
