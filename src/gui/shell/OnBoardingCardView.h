// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class UserDefaults;

// The sheet that tells a new user what Sprucer does. Shown at every launch until it has been
// dismissed once, however it was dismissed.
class OnBoardingCardView : public QDialog
{
    Q_OBJECT

public:
    static inline const QString shouldBeOnBoardKey = QStringLiteral("shouldBeOnBoard");

    explicit OnBoardingCardView(UserDefaults &settings, QWidget *parent = nullptr);

    // True until the sheet was dismissed once.
    static bool shouldBeOnBoard(const UserDefaults &settings);
};
