// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/support/Controls.h"

#include "gui/support/Palette.h"
#include "gui/support/SymbolIcons.h"

#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace Controls {

QPushButton *prominentButton(const QString &text, const QString &symbol)
{
    auto *button = new QPushButton(text);
    button->setAccessibleName(text);
    button->setCursor(Qt::PointingHandCursor);
    if (!symbol.isEmpty())
        button->setIcon(SymbolIcons::icon(symbol, QColor(Qt::white)));
    button->setStyleSheet(QStringLiteral("QPushButton { color: white; background: %1; "
                                         "border: none; border-radius: 8px; padding: 5px 10px; }"
                                         "QPushButton:pressed { background: %2; }"
                                         "QPushButton:disabled { background: %3; }")
                              .arg(Palette::blue().name(), Palette::blue().darker(130).name(),
                                   Palette::gray().name()));
    return button;
}

QToolButton *borderlessButton(const QString &text, const QString &symbol, const QString &help)
{
    auto *button = new QToolButton;
    button->setAutoRaise(true);
    button->setText(text);
    button->setAccessibleName(text.isEmpty() ? help : text);
    if (!help.isEmpty()) {
        button->setToolTip(help);
        button->setAccessibleDescription(help);
    }
    if (!symbol.isEmpty()) {
        button->setIcon(SymbolIcons::icon(symbol));
        button->setToolButtonStyle(text.isEmpty() ? Qt::ToolButtonIconOnly
                                                  : Qt::ToolButtonTextBesideIcon);
    }
    return button;
}

QLabel *secondaryLabel(const QString &text)
{
    auto *label = new QLabel(text);
    label->setForegroundRole(QPalette::PlaceholderText);
    label->setWordWrap(true);
    return label;
}

QLabel *errorLine()
{
    auto *label = new QLabel;
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Palette::red());
    label->setPalette(palette);
    label->setWordWrap(true);
    label->hide();
    return label;
}

QWidget *emptyState(const QString &symbol, int iconSize, QLabel *title, const QString &message,
                    int spacing, QWidget *action)
{
    auto *page = new QWidget;
    auto *icon = new QLabel;
    icon->setPixmap(SymbolIcons::icon(symbol, page->palette().color(QPalette::PlaceholderText))
                        .pixmap(QSize(iconSize, iconSize)));
    icon->setAlignment(Qt::AlignCenter);
    title->setAlignment(Qt::AlignCenter);
    QLabel *explanation = secondaryLabel(message);
    explanation->setAlignment(Qt::AlignCenter);
    auto *layout = new QVBoxLayout(page);
    layout->setSpacing(spacing);
    layout->addStretch();
    layout->addWidget(icon);
    layout->addWidget(title);
    layout->addWidget(explanation);
    if (action)
        layout->addWidget(action, 0, Qt::AlignCenter);
    layout->addStretch();
    return page;
}

} // namespace Controls
