// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/Languages.h"

#include <QFrame>
#include <QPointer>

#include <optional>

class ConfigEditorView;
class ConfigManagerFactory;
class MonitorRegistry;
class QLabel;
class QToolButton;

// One language's card on the configuration dashboard: whether its tool is installed, how to
// install it when it is not, and "Edit", which opens the language's list sheet.
class ConfigCard : public QFrame
{
    Q_OBJECT

public:
    ConfigCard(const Language &language, ConfigManagerFactory &store, MonitorRegistry &registry,
               QWidget *parent = nullptr);

    const Language &language() const { return m_language; }

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

    const Language &m_language; // a row of the table, which lives as long as the process
    ConfigManagerFactory &m_store;
    MonitorRegistry &m_registry;
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
