// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLineEdit;

// The settings sheet: the application's version, the command files open with, and "Done".
class SettingsView : public QDialog
{
    Q_OBJECT

public:
    explicit SettingsView(QWidget *parent = nullptr);

    // The version the build was given; "1.0.0" when it was given none.
    static QString version();

    QLineEdit *openWithField() const { return m_openWith; }

private:
    QLineEdit *m_openWith = nullptr;
};
