// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/SupportedFileExtension.h"

#include <QFrame>
#include <QPointer>

#include <optional>

class ConfigEditorView;
class QLabel;
class QToolButton;

// One language's card on the configuration dashboard: whether its tool is installed, how to
// install it when it is not, and "Edit", which opens the language's list sheet.
class ConfigCard : public QFrame
{
    Q_OBJECT

public:
    struct Language
    {
        QString title;    // "C++"
        QString iconName; // "terminal"
        SupportedFileExtension configType;
        QString toolName; // "clang-format", as the install hint names it
    };

    explicit ConfigCard(Language language, QWidget *parent = nullptr);

    // As the last dependency check found it.
    void setToolStatus(bool installed, const std::optional<QString> &toolError);

    bool isToolInstalled() const { return m_installed; }
    QString statusText() const;
    QString installHint() const;
    QToolButton *warningButton() const { return m_warning; }
    QToolButton *editButton() const { return m_edit; }
    // The tool's error popup, while it is open.
    QWidget *errorPopup() const;
    ConfigEditorView *listSheet() const;

private:
    void showError();
    void showListSheet();
    QLayout *makeHeader();

    Language m_language;
    bool m_installed = false;
    std::optional<QString> m_toolError;
    QLabel *m_icon;
    QToolButton *m_warning;
    QToolButton *m_edit;
    QLabel *m_status;
    QLabel *m_hint;
    QPointer<QWidget> m_errorPopup;
    QPointer<ConfigEditorView> m_listSheet;
};
