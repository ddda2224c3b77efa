// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/ConfigurationCheckResult.h"
#include "core/model/ConfigurationItem.h"

#include <QDialog>

#include <optional>

class CodeEditor;
class ConfigurationCheck;
class ConfigManagerFactory;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class RawXmlFormatterViewModel;

// The sheet in which one configuration is written: its name and its text, typed in the code
// editor, imported from a file or dropped onto the editor. Creates a new configuration or
// edits an existing one (which keeps its id, file and language). A text the tool refuses may
// still be saved (it may be meant for a newer tool), once the user has said so.
class RawXmlFormatterView : public QDialog
{
    Q_OBJECT

public:
    RawXmlFormatterView(ConfigManagerFactory &store,
                        const std::optional<ConfigurationItem> &existing,
                        SupportedFileExtension selectedExtension, QWidget *parent = nullptr);
    ~RawXmlFormatterView() override;

    RawXmlFormatterViewModel &viewModel() const { return *m_viewModel; }
    QLineEdit *nameField() const { return m_name; }
    CodeEditor *editor() const { return m_editor; }
    QToolButton *importButton() const { return m_import; }
    QPushButton *saveButton() const { return m_save; }
    QPushButton *cancelButton() const { return m_cancel; }
    QLabel *errorLine() const { return m_error; }
    // Under the name field: why the name cannot be saved.
    QLabel *nameLine() const { return m_nameLine; }
    // Whether the tool takes the text, a moment after typing stops.
    QLabel *checkLine() const { return m_checkLine; }
    std::optional<QString> selectedFilePath() const { return m_selectedFilePath; }
    bool isHoveringDropZone() const { return m_hovering; }

    void importFile();
    // What a file dropped on the editor brings, once it has arrived.
    void loadDroppedFile(const QUrl &url);

private:
    QLayout *makeNameBlock();
    QLayout *makeContentBlock();
    QLayout *makeButtons();
    void loadFile(const QString &path);
    void showError(const QString &message);
    void setHovering(bool hovering);
    void updateSaveButton();
    // Shows why the name is refused, if it is; true when it is free.
    bool checkName();
    void save();
    void store();
    void textChanged();
    void requestCheck();
    void showCheck(const ConfigurationCheckResult &result);

    RawXmlFormatterViewModel *m_viewModel;
    SupportedFileExtension m_selectedExtension;
    QLineEdit *m_name;
    QLabel *m_nameLine;
    QToolButton *m_import;
    QWidget *m_pathRow;
    QLabel *m_path;
    QFrame *m_editorFrame;
    CodeEditor *m_editor;
    ConfigurationCheck *m_check;
    QLabel *m_checkLine;
    QLabel *m_error;
    QPushButton *m_cancel;
    QPushButton *m_save;
    std::optional<QString> m_selectedFilePath;
    std::optional<ConfigurationCheckResult> m_verdict; // of the text as it is now
    bool m_saveWhenChecked = false;
    bool m_hovering = false;
};
