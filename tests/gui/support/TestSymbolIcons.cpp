// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/support/SymbolIcons.h"
#include "support/GuiTestMain.h"

#include <QDir>
#include <QIcon>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>

using namespace Qt::StringLiterals;

class TestSymbolIcons : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A translucent tint stays translucent: the palette's grey is black at a fraction of alpha.
    void aTintKeepsItsAlpha()
    {
        QColor halfBlack(Qt::black);
        halfBlack.setAlpha(128);
        const QImage drawn =
            SymbolIcons::icon(u"gear"_s, halfBlack).pixmap(QSize(32, 32)).toImage();
        int strongest = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                strongest = std::max(strongest, qAlpha(drawn.pixel(x, y)));
        QVERIFY2(strongest >= 120 && strongest <= 136, qPrintable(QString::number(strongest)));
    }

    // Installed, the icon comes from the theme under the desktop id, so the launcher, the
    // window and the tray show the same one; built in place, the bundled one stands in.
    void applicationIconPrefersTheInstalledTheme()
    {
        QTemporaryDir icons;
        QVERIFY(icons.isValid());
        QIcon::setThemeSearchPaths({icons.path()});
        QIcon::setThemeName(u"hicolor"_s);

        const QIcon bundled = SymbolIcons::applicationIcon();
        QVERIFY(!bundled.isNull());
        QVERIFY(bundled.name().isEmpty());

        const QDir theme(icons.filePath(u"hicolor"_s));
        QVERIFY(theme.mkpath(u"48x48/apps"_s));
        QFile index(theme.filePath(u"index.theme"_s));
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write("[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps\n\n"
                    "[48x48/apps]\nSize=48\nType=Fixed\n");
        index.close();
        QImage installed(48, 48, QImage::Format_ARGB32);
        installed.fill(Qt::red);
        QVERIFY(installed.save(theme.filePath(u"48x48/apps/com.velmora.Sprucer.png"_s)));
        QIcon::setThemeSearchPaths({icons.path()}); // forgets what was looked up before

        const QIcon fromTheme = SymbolIcons::applicationIcon();
        QCOMPARE(fromTheme.name(), u"com.velmora.Sprucer"_s);
        QCOMPARE(fromTheme.pixmap(48, 48).toImage().pixelColor(24, 24), QColor(Qt::red));
    }
};

SPRUCER_GUI_TEST_MAIN(TestSymbolIcons)
#include "TestSymbolIcons.moc"
