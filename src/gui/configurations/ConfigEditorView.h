// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/SupportedFileExtension.h"

#include <QDialog>
#include <QPointer>

class ConfigManagerFactory;
class ConfigurationListModel;
class QListView;
class QPushButton;
class QStackedWidget;
class RawXmlFormatterView;

// The sheet of one language's configurations: the list, "Add Rule" and a click on a row open
// the editor sheet; the list follows the store.
class ConfigEditorView : public QDialog
{
    Q_OBJECT

public:
    ConfigEditorView(ConfigManagerFactory &store, SupportedFileExtension configType,
                     QWidget *parent = nullptr);
    ~ConfigEditorView() override;

    ConfigurationListModel &model() const { return *m_model; }
    QListView *list() const { return m_list; }
    bool showsEmptyState() const;
    QPushButton *addButton() const { return m_add; }
    QPushButton *doneButton() const { return m_done; }
    // The editor sheet, while it is open.
    RawXmlFormatterView *editorSheet() const;

    // A new configuration, or the one of `row`.
    void openEditor(std::optional<int> row = std::nullopt);

private:
    QLayout *makeHeader();
    QWidget *makeEmptyState();
    void chooseBody();

    SupportedFileExtension m_configType;
    ConfigManagerFactory &m_configManagerFactory;
    ConfigurationListModel *m_model;
    QListView *m_list;
    QStackedWidget *m_body;
    QPushButton *m_add;
    QPushButton *m_done;
    QPointer<RawXmlFormatterView> m_editor;
};
