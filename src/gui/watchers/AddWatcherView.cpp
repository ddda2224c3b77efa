// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/watchers/AddWatcherView.h"

#include "core/support/LocalPath.h"
#include "gui/support/Controls.h"
#include "gui/support/Dialogs.h"
#include "gui/watchers/SetupNewWatcherView.h"

#include <QPushButton>
#include <QVBoxLayout>

AddWatcherView::AddWatcherView(MonitorRegistry &registry, ConfigManagerFactory &configurations,
                               QWidget *parent)
    : QWidget(parent)
    , m_registry(registry)
    , m_configurations(configurations)
{
    QPushButton *button = Controls::prominentButton(QStringLiteral("Add new watcher"));
    connect(button, &QPushButton::clicked, this, &AddWatcherView::chooseFolder);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(button);
}

void AddWatcherView::chooseFolder()
{
    Dialogs::current().chooseDirectory(
        this, QStringLiteral("Select"), [self = QPointer(this)](const QString &folder) {
            if (!self || folder.isEmpty())
                return;
            // On the next turn, as the panel has closed by then.
            QMetaObject::invokeMethod(
                self, [self, folder] { self->openSheet(folder); }, Qt::QueuedConnection);
        });
}

void AddWatcherView::openSheet(const QString &folder)
{
    if (m_sheet)
        return;
    m_sheet = new SetupNewWatcherView(LocalPath::directoryUrl(folder), m_registry, m_configurations,
                                      window());
    m_sheet->setAttribute(Qt::WA_DeleteOnClose);
    m_sheet->open();
}
