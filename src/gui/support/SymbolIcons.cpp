// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/support/SymbolIcons.h"

#include "gui/support/TintedSvgIconEngine.h"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPixmap>

// The icons live in the library's resources; a static library must register them itself.
static void registerIconResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace {

// Symbol name → file of the icon set under :/icons.
const QHash<QString, QString> &files()
{
    static const QHash<QString, QString> table{
        {QStringLiteral("eye"), QStringLiteral("eye-outline")},
        {QStringLiteral("list.bullet"), QStringLiteral("list-outline")},
        {QStringLiteral("gear"), QStringLiteral("settings-outline")},
        {QStringLiteral("chart.bar"), QStringLiteral("chart-bar-outline")},
        {QStringLiteral("clock.arrow.circlepath"), QStringLiteral("clock-back-outline")},
        {QStringLiteral("sidebar.left"), QStringLiteral("layout-sidebar-outline")},
        {QStringLiteral("chevron.left.slash.chevron.right"), QStringLiteral("code-outline")},
        {QStringLiteral("chevron.left.slash.chevron.right.slash"),
         QStringLiteral("code-off-outline")},
        {QStringLiteral("trash"), QStringLiteral("trash-outline")},
        {QStringLiteral("play.circle"), QStringLiteral("circle-caret-right-outline")},
        {QStringLiteral("chevron.down"), QStringLiteral("chevron-down-outline")},
        {QStringLiteral("chevron.right"), QStringLiteral("chevron-right-outline")},
        {QStringLiteral("arrow.up.forward.square"), QStringLiteral("external-link-outline")},
        {QStringLiteral("xmark.circle.fill"), QStringLiteral("circle-x-filled")},
        {QStringLiteral("plus"), QStringLiteral("plus-outline")},
        {QStringLiteral("pencil"), QStringLiteral("pencil-outline")},
        {QStringLiteral("magnifyingglass"), QStringLiteral("search-outline")},
        {QStringLiteral("folder"), QStringLiteral("folder-outline")},
        {QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("alert-triangle-filled")},
        {QStringLiteral("doc.fill"), QStringLiteral("file-filled")},
        {QStringLiteral("doc.badge.plus"), QStringLiteral("file-plus-outline")},
        {QStringLiteral("doc.badge.gearshape"), QStringLiteral("file-settings-outline")},
        {QStringLiteral("doc"), QStringLiteral("file-outline")},
        {QStringLiteral("arrow.up.left.and.arrow.down.right"),
         QStringLiteral("arrows-maximize-outline")},
        {QStringLiteral("arrow.down.right.and.arrow.up.left"),
         QStringLiteral("arrows-minimize-outline")},
        {QStringLiteral("arrow.clockwise"), QStringLiteral("refresh-outline")},
        {QStringLiteral("checkmark.circle.fill"), QStringLiteral("circle-check-filled")},
        {QStringLiteral("folder.badge.gearshape"), QStringLiteral("folder-cog-outline")},
        {QStringLiteral("folder.badge.plus"), QStringLiteral("folder-plus-outline")},
        {QStringLiteral("gear.badge.questionmark"), QStringLiteral("settings-question-outline")},
        {QStringLiteral("k.circle"), QStringLiteral("circle-letter-k-outline")},
        {QStringLiteral("globe"), QStringLiteral("world-outline")},
        {QStringLiteral("swift"), QStringLiteral("brand-swift-outline")},
        {QStringLiteral("terminal"), QStringLiteral("terminal-2-outline")},
        {QStringLiteral("circle"), QStringLiteral("circle-outline")},
        {QStringLiteral("pause.circle"), QStringLiteral("circle-pause-outline")},
        {QStringLiteral("slider.horizontal.3"), QStringLiteral("adjustments-horizontal-outline")},
        {QStringLiteral("textformat.abc.dottedunderline"),
         QStringLiteral("text-spellcheck-outline")},
    };
    return table;
}

QIcon render(const QString &file, const QColor &normal, const QColor &disabled,
             const QColor &selected)
{
    registerIconResources();
    QFile source(QStringLiteral(":/icons/%1.svg").arg(file));
    if (!source.open(QIODevice::ReadOnly))
        return {};
    return QIcon(new TintedSvgIconEngine(source.readAll(), {normal, disabled, selected}));
}

// Table cells and list rows ask for their icon at every paint; each is drawn once per colour.
QIcon build(const QString &symbol, const QColor &normal, const QColor &disabled,
            const QColor &selected)
{
    const QString file = files().value(symbol);
    if (file.isEmpty())
        return {};
    // Main thread, as every pixmap; emptied with the application, while pixmaps may still go.
    static QHash<QString, QIcon> drawn;
    static const bool emptiedAtQuit = [] {
        qAddPostRoutine([] { drawn.clear(); });
        return true;
    }();
    Q_UNUSED(emptiedAtQuit);
    const QString key = file + u'|' + normal.name(QColor::HexArgb) +
                        disabled.name(QColor::HexArgb) + selected.name(QColor::HexArgb);
    const auto found = drawn.constFind(key);
    if (found != drawn.cend())
        return *found;
    QIcon icon = render(file, normal, disabled, selected);
    drawn.insert(key, icon);
    return icon;
}

} // namespace

namespace SymbolIcons {

QIcon icon(const QString &symbol, const QPalette &palette)
{
    const QPalette colours = palette.resolveMask() ? palette : QGuiApplication::palette();
    return build(symbol, colours.color(QPalette::WindowText),
                 colours.color(QPalette::PlaceholderText),
                 colours.color(QPalette::HighlightedText));
}

QIcon icon(const QString &symbol, const QColor &color)
{
    const QPalette palette = QGuiApplication::palette();
    return build(symbol, color, palette.color(QPalette::PlaceholderText),
                 palette.color(QPalette::HighlightedText));
}

bool has(const QString &symbol)
{
    return files().contains(symbol);
}

QIcon badged(const QIcon &base, const QString &badge, const QColor &color)
{
    const QIcon mark = icon(badge, color);
    QIcon made;
    for (const int side : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap = base.pixmap(QSize(side, side));
        const int markSide = side * 5 / 8;
        QPainter painter(&pixmap);
        mark.paint(&painter, QRect(side - markSide, side - markSide, markSide, markSide));
        painter.end();
        made.addPixmap(pixmap);
    }
    return made;
}

QIcon applicationIcon()
{
    registerIconResources();
    return QIcon::fromTheme(QStringLiteral("com.velmora.Sprucer"),
                            QIcon(QStringLiteral(":/app/sprucer.svg")));
}

} // namespace SymbolIcons
