// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/SettingsView.h"

#include "core/support/UserDefaults.h"
#include "gui/support/Dialogs.h"
#include "gui/support/FileOpener.h"
#include "gui/support/TextStyles.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

SettingsView::SettingsView(UserDefaults &settings, bool startsAtLogin, StartAtLogin setStartAtLogin,
                           QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Settings"));
    setWindowModality(Qt::WindowModal);
    setFixedSize(460, 300);

    QLabel *title =
        TextStyles::label(QStringLiteral("Settings"), TextStyles::Style::title2, QFont::Bold);

    // One section of the form, as a grouped row: the label, and the value opposite it.
    auto *section = new QFrame;
    section->setFrameShape(QFrame::StyledPanel);
    auto *form = new QFormLayout(section);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    auto *versionValue = new QLabel(version());
    versionValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    versionValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
    versionValue->setAccessibleName(QStringLiteral("Version ") + version());
    form->addRow(QStringLiteral("Version"), versionValue);
    // Empty: files open in the desktop's default application, without a line to land on.
    m_openWith = new QLineEdit(settings.value(FileOpener::commandKey).toString());
    m_openWith->setPlaceholderText(QStringLiteral("Default application"));
    m_openWith->setAccessibleName(QStringLiteral("Open files with"));
    m_openWith->setToolTip(QStringLiteral("A command run with {file} and {line} replaced, for "
                                          "example: code --goto {file}:{line}"));
    connect(m_openWith, &QLineEdit::textChanged, this, [&settings](const QString &command) {
        settings.setValue(FileOpener::commandKey, command.trimmed());
    });
    form->addRow(QStringLiteral("Open files with"), m_openWith);
    m_startAtLogin = new QCheckBox(QStringLiteral("Start Sprucer when I log in"));
    m_startAtLogin->setAccessibleName(m_startAtLogin->text());
    m_startAtLogin->setChecked(startsAtLogin);
    connect(m_startAtLogin, &QCheckBox::toggled, this,
            [this, set = std::move(setStartAtLogin)](bool starts) {
                if (const Result<void> changed = set(starts); !changed)
                    Dialogs::current().showFailure(
                        this, QStringLiteral("Could not change the login item"),
                        changed.error().description);
            });
    form->addRow(QString(), m_startAtLogin);

    auto *buttons = new QDialogButtonBox;
    QPushButton *done = buttons->addButton(QStringLiteral("Done"), QDialogButtonBox::AcceptRole);
    done->setDefault(true);
    done->setAccessibleName(done->text());
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(section);
    layout->addStretch();
    layout->addWidget(buttons);
}

QString SettingsView::version()
{
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral("1.0.0") : version;
}
