// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/support/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

class PlatformDialogs : public Dialogs
{
public:
    void about(QWidget *parent, const QString &title, const QString &text) override
    {
        QMessageBox::about(parent, title, text);
    }

    void showFailure(QWidget *parent, const QString &title, const QString &text) override
    {
        show(QMessageBox::Warning, parent, title, text);
    }

    void showDone(QWidget *parent, const QString &title, const QString &text) override
    {
        show(QMessageBox::Information, parent, title, text);
    }

    void confirm(QWidget *parent, const QString &title, const QString &text, const QString &confirm,
                 std::function<void(bool)> done) override
    {
        QMessageBox *box = make(QMessageBox::Warning, parent, title, text);
        QPushButton *yes = box->addButton(confirm, QMessageBox::AcceptRole);
        QPushButton *cancel = box->addButton(QMessageBox::Cancel);
        yes->setAccessibleName(confirm);
        cancel->setAccessibleName(cancel->text());
        box->setDefaultButton(cancel);
        box->setEscapeButton(cancel);
        QObject::connect(box, &QMessageBox::finished, box,
                         [box, yes, done = std::move(done)] { done(box->clickedButton() == yes); });
        box->open();
    }

private:
    static QMessageBox *make(QMessageBox::Icon icon, QWidget *parent, const QString &title,
                             const QString &text)
    {
        auto *box = new QMessageBox(icon, title, text, QMessageBox::NoButton, parent);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
        box->setAccessibleName(title);
        return box;
    }

    static void show(QMessageBox::Icon icon, QWidget *parent, const QString &title,
                     const QString &text)
    {
        QMessageBox *box = make(icon, parent, title, text);
        box->addButton(QMessageBox::Ok)->setAccessibleName(QStringLiteral("OK"));
        box->open();
    }

public:
    void chooseDirectory(QWidget *parent, const QString &prompt,
                         std::function<void(const QString &path)> done) override
    {
        QFileDialog dialog(parent);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setLabelText(QFileDialog::Accept, prompt);
        const QStringList chosen =
            dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
        done(chosen.value(0));
    }

    void chooseOpenFile(QWidget *parent, const QString &title,
                        std::function<void(const QString &path)> done) override
    {
        QFileDialog dialog(parent, title);
        dialog.setFileMode(QFileDialog::ExistingFile);
        const QStringList chosen =
            dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
        done(chosen.value(0));
    }

    void chooseSaveFile(QWidget *parent, const QString &title, const QString &proposedName,
                        std::function<void(const QString &path)> done) override
    {
        auto *dialog = new QFileDialog(parent, title);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        // The export never replaces a file, so the panel must not offer to.
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
        dialog->selectFile(proposedName);
        QObject::connect(
            dialog, &QFileDialog::finished, dialog, [dialog, done = std::move(done)](int result) {
                const QStringList chosen = dialog->selectedFiles();
                done(result == QDialog::Accepted && !chosen.isEmpty() ? chosen.first() : QString());
            });
        dialog->open();
    }
};

Dialogs *s_installed = nullptr;

} // namespace

Dialogs &Dialogs::current()
{
    static PlatformDialogs platform;
    return s_installed ? *s_installed : platform;
}

void Dialogs::install(Dialogs *dialogs)
{
    s_installed = dialogs;
}
