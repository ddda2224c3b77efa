// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/ConfigurationItem.h"
#include "core/model/SupportedFileExtension.h"

#include <QDialog>
#include <QPointer>

class ConfigManagerFactory;
class ConfigurationListModel;
class MonitorRegistry;
class QMenu;
class QListView;
class QPushButton;
class QToolButton;
class QStackedWidget;
class RawXmlFormatterView;

// The sheet of one language's configurations: the list, "Add Rule" and a click on a row open
// the editor sheet; each row can be deleted (its button, its menu, the Delete key) unless a
// watcher formats with it. The list follows the store.
class ConfigEditorView : public QDialog
{
    Q_OBJECT

public:
    ConfigEditorView(ConfigManagerFactory &store, MonitorRegistry &registry,
                     SupportedFileExtension configType, QWidget *parent = nullptr);
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
    // The editor sheet of `row`, its name selected.
    void rename(int row);
    // Refused, naming them, while watchers use it; otherwise asks, then deletes it and its file.
    void deleteConfiguration(int row);
    // The row's delete button, while the row is shown.
    QToolButton *deleteButton(int row) const;
    // The row's context menu: Edit, Rename…, Delete…; the caller shows it.
    QMenu *rowMenu(int row);

private:
    QLayout *makeHeader();
    QWidget *makeEmptyState();
    void chooseBody();
    void addDeleteButtons();
    int rowOf(const QUuid &id) const;
    void showRowMenu(const QPoint &at);
    bool refuseWhileUsed(const ConfigurationItem &item);
    void remove(const ConfigurationItem &item);

    SupportedFileExtension m_configType;
    ConfigManagerFactory &m_configManagerFactory;
    MonitorRegistry &m_registry;
    ConfigurationListModel *m_model;
    QListView *m_list;
    QStackedWidget *m_body;
    QPushButton *m_add;
    QPushButton *m_done;
    QPointer<RawXmlFormatterView> m_editor;
};
