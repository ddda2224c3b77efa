// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/support/DisplayParameters.h"

#include "core/telemetry/ParameterBoard.h"

#include <QApplication>
#include <QPalette>

namespace {

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// Qt 6.4 has no colour-scheme query: a window lighter than its text is a light scheme.
QString colorScheme(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() >=
                   palette.color(QPalette::WindowText).lightness()
               ? QStringLiteral("Light")
               : QStringLiteral("Dark");
}

QString orientation(const QScreen &screen)
{
    switch (screen.orientation()) {
    case Qt::PortraitOrientation:
    case Qt::InvertedPortraitOrientation:
        return QStringLiteral("Portrait");
    case Qt::LandscapeOrientation:
    case Qt::InvertedLandscapeOrientation:
        return QStringLiteral("Landscape");
    case Qt::PrimaryOrientation:
        break;
    }
    return QStringLiteral("Unknown");
}

} // namespace

DisplayParameters::DisplayParameters(std::shared_ptr<ParameterBoard> board, QObject *parent)
    : QObject(parent)
    , m_board(std::move(board))
{
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, &DisplayParameters::followScreen);
    qApp->installEventFilter(this);
    followScreen(QGuiApplication::primaryScreen());
}

QMap<QString, QString> DisplayParameters::current()
{
    const QString prefix = QStringLiteral("TelemetryDeck.");
    // The desktop's own switch for animations is what Qt's effects follow.
    QMap<QString, QString> values{
        {prefix + QStringLiteral("UserPreference.colorScheme"),
         colorScheme(QGuiApplication::palette())},
        {prefix + QStringLiteral("Accessibility.isReduceMotionEnabled"),
         boolText(!QApplication::isEffectEnabled(Qt::UI_General))},
    };
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QSize size = screen->size();
        values.insert(prefix + QStringLiteral("Device.screenResolutionWidth"),
                      QString::number(size.width()));
        values.insert(prefix + QStringLiteral("Device.screenResolutionHeight"),
                      QString::number(size.height()));
        values.insert(prefix + QStringLiteral("Device.screenScaleFactor"),
                      QString::number(screen->devicePixelRatio(), 'f', 1));
        values.insert(prefix + QStringLiteral("Device.orientation"), orientation(*screen));
    }
    return values;
}

bool DisplayParameters::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
        publish();
    return QObject::eventFilter(watched, event);
}

void DisplayParameters::followScreen(QScreen *screen)
{
    if (m_screen)
        disconnect(m_screen, nullptr, this, nullptr);
    m_screen = screen;
    if (screen) {
        connect(screen, &QScreen::geometryChanged, this, &DisplayParameters::publish);
        connect(screen, &QScreen::orientationChanged, this, &DisplayParameters::publish);
        connect(screen, &QScreen::physicalDotsPerInchChanged, this, &DisplayParameters::publish);
    }
    publish();
}

void DisplayParameters::publish()
{
    m_board->publish(current());
}
