// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/SettingsView.h"

#include "core/history/FixJournal.h"
#include "core/support/UserDefaults.h"
#include "gui/support/Dialogs.h"
#include "gui/support/FileOpener.h"
#include "gui/support/TextStyles.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

SettingsView::SettingsView(UserDefaults &settings, bool startsAtLogin, StartAtLogin setStartAtLogin,
                           QWidget *parent)
    : QDialog(parent)
    , m_userDefaults(settings)
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
    m_form = form;
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

void SettingsView::showHistorySettings(FixJournal &journal)
{
    m_keepHistory = new QCheckBox(QStringLiteral("Keep a history of fixes"));
    m_keepHistory->setAccessibleName(m_keepHistory->text());
    m_keepHistory->setChecked(journal.enabled());
    connect(m_keepHistory, &QCheckBox::toggled, this, [this, &journal](bool keeps) {
        m_userDefaults.setValue(FixJournal::keepKey, keeps);
        journal.setEnabled(keeps);
    });
    m_clearHistory = new QPushButton(QStringLiteral("Clear history"));
    m_clearHistory->setAccessibleName(m_clearHistory->text());
    connect(m_clearHistory, &QPushButton::clicked, this, [this, &journal] {
        Dialogs::current().confirm(
            this, QStringLiteral("Clear the history of fixes?"),
            QStringLiteral("The fixes kept can no longer be seen or undone. Your files stay as "
                           "they are."),
            QStringLiteral("Clear History"), [this, &journal](bool confirmed) {
                if (!confirmed)
                    return;
                if (const Result<void> cleared = journal.clear(); !cleared)
                    Dialogs::current().showFailure(this,
                                                   QStringLiteral("Could not clear the history"),
                                                   cleared.error().description);
            });
    });
    auto *row = new QHBoxLayout;
    row->addWidget(m_keepHistory);
    row->addStretch();
    row->addWidget(m_clearHistory);
    m_form->addRow(QString(), row);
}

QString SettingsView::version()
{
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral("1.0.0") : version;
}
