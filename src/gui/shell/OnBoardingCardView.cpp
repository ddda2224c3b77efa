// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/OnBoardingCardView.h"

#include "core/support/UserDefaults.h"
#include "gui/support/SymbolIcons.h"
#include "gui/support/TextStyles.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct Card
{
    const char *symbol;
    const char *description;
};

constexpr Card kCards[] = {
    {"folder.badge.gearshape", "Setup Directory Monitors to fix your code on save"},
    {"globe", "Support multiple languages"},
    {"slider.horizontal.3", "You can configure your rules right on the machine"},
    {"textformat.abc.dottedunderline", "Never care about syntax and formatting again"},
};

} // namespace

OnBoardingCardView::OnBoardingCardView(UserDefaults &settings, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Welcome to Sprucer"));
    setWindowModality(Qt::WindowModal);

    // The system font at size 40, about 2.8 times the body.
    QLabel *title = TextStyles::label(QStringLiteral("What can you do"), 2.8, QFont::Bold);
    title->setAlignment(Qt::AlignCenter);
    title->setContentsMargins(16, 16, 16, 16);

    auto *cards = new QGridLayout;
    cards->setHorizontalSpacing(16);
    cards->setVerticalSpacing(14);
    int row = 0;
    for (const Card &card : kCards) {
        auto *image = new QLabel;
        image->setPixmap(SymbolIcons::icon(QString::fromLatin1(card.symbol)).pixmap(QSize(32, 32)));
        image->setFixedWidth(50);
        image->setAlignment(Qt::AlignCenter);
        auto *description = new QLabel(QString::fromLatin1(card.description));
        description->setAccessibleName(description->text());
        cards->addWidget(image, row, 0);
        cards->addWidget(description, row, 1);
        ++row;
    }

    auto *gotIt = new QPushButton(QStringLiteral("Got it!"));
    gotIt->setDefault(true);
    gotIt->setAccessibleName(gotIt->text());
    connect(gotIt, &QPushButton::clicked, this, &QDialog::accept);
    // However the sheet goes (the button, Esc, the window's close button), it is not shown again.
    connect(this, &QDialog::finished, this,
            [&settings] { settings.setValue(shouldBeOnBoardKey, false); });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->addWidget(title);
    layout->addLayout(cards);
    layout->addSpacing(12);
    layout->addWidget(gotIt, 0, Qt::AlignCenter);
}

bool OnBoardingCardView::shouldBeOnBoard(const UserDefaults &settings)
{
    const QVariant stored = settings.value(shouldBeOnBoardKey);
    return stored.isValid() ? stored.toBool() : true;
}
