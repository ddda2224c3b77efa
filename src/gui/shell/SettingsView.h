// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/support/Result.h"

#include <QDialog>

#include <functional>

class FixJournal;
class QCheckBox;
class QFormLayout;
class QPushButton;
class QLineEdit;
class UserDefaults;

// The settings sheet: the application's version, the command files open with, whether Sprucer
// starts at login, whether it keeps a history of fixes, and "Done".
class SettingsView : public QDialog
{
    Q_OBJECT

public:
    // Writes or removes the login item; its failure is shown.
    using StartAtLogin = std::function<Result<void>(bool starts)>;

    SettingsView(UserDefaults &settings, bool startsAtLogin, StartAtLogin setStartAtLogin,
                 QWidget *parent = nullptr);

    // The version the build was given; "1.0.0" when it was given none.
    static QString version();

    QLineEdit *openWithField() const { return m_openWith; }
    QCheckBox *startAtLoginSwitch() const { return m_startAtLogin; }

    // Adds "Keep a history of fixes" and "Clear history".
    void showHistorySettings(FixJournal &journal);
    QCheckBox *keepHistorySwitch() const { return m_keepHistory; }
    QPushButton *clearHistoryButton() const { return m_clearHistory; }

private:
    UserDefaults &m_userDefaults;
    QFormLayout *m_form = nullptr;
    QLineEdit *m_openWith = nullptr;
    QCheckBox *m_startAtLogin = nullptr;
    QCheckBox *m_keepHistory = nullptr;
    QPushButton *m_clearHistory = nullptr;
};
