// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/MainView.h"

#include "core/support/NotificationCenter.h"
#include "gui/support/ShellNotifications.h"
#include "gui/support/SymbolIcons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardItemModel>

namespace {

struct EntryText
{
    const char *label;
    const char *symbol;
};

constexpr EntryText kEntries[] = {
    {"Watchers", "eye"},
    {"TODO", "list.bullet"},
    {"Configurations", "gear"},
    {"Statistics", "chart.bar"},
    {"History", "clock.arrow.circlepath"},
};

QWidget *notAvailableYet()
{
    auto *label = new QLabel(QStringLiteral("Not available yet"));
    label->setAlignment(Qt::AlignCenter);
    label->setForegroundRole(QPalette::PlaceholderText);
    label->setAccessibleName(label->text());
    return label;
}

} // namespace

MainView::MainView(NotificationCenter &notifications, QWidget *parent)
    : QWidget(parent)
    , m_entries(new QStandardItemModel(this))
    , m_sidebar(new QListView)
    , m_detail(new QStackedWidget)
{
    for (const EntryText &entry : kEntries) {
        auto *item = new QStandardItem(SymbolIcons::icon(QString::fromLatin1(entry.symbol)),
                                       QString::fromLatin1(entry.label));
        item->setEditable(false);
        item->setData(QString::fromLatin1(entry.label), Qt::AccessibleTextRole);
        m_entries->appendRow(item);
        // Bare until shown: a label would be laid out for every screen the window opens without.
        m_detail->addWidget(new QWidget);
        m_bare.insert(m_entries->rowCount() - 1);
    }
    m_sidebar->setModel(m_entries);
    m_sidebar->setMinimumWidth(200);
    m_sidebar->setIconSize(QSize(18, 18));
    m_sidebar->setSpacing(2);
    m_sidebar->setAccessibleName(QStringLiteral("Sidebar"));
    m_sidebar->setSelectionMode(QAbstractItemView::SingleSelection);
    // A sidebar, not a document: the window's own background, no frame.
    m_sidebar->setFrameShape(QFrame::NoFrame);
    QPalette sidebarPalette = m_sidebar->palette();
    sidebarPalette.setColor(QPalette::Base, sidebarPalette.color(QPalette::Window));
    m_sidebar->setPalette(sidebarPalette);
    m_detail->setAccessibleName(QStringLiteral("Detail"));
    connect(m_sidebar->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (!current.isValid())
                    return;
                buildIfWaiting(Entry(current.row()));
                m_detail->setCurrentIndex(current.row());
            });

    auto *splitter = new QSplitter;
    splitter->addWidget(m_sidebar);
    splitter->addWidget(m_detail);
    splitter->setStretchFactor(1, 1);
    splitter->setCollapsible(1, false);
    splitter->setSizes({200, 800});
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);

    connect(&notifications, &NotificationCenter::posted, this, [this](const QString &name) {
        if (name == ShellNotifications::switchToConfigurationsTab)
            select(Entry::configurations);
    });
    select(Entry::watchers);
}

MainView::Entry MainView::currentEntry() const
{
    return Entry(m_detail->currentIndex());
}

void MainView::select(Entry entry)
{
    m_sidebar->setCurrentIndex(m_entries->index(int(entry), 0));
}

void MainView::setScreen(Entry entry, QWidget *screen)
{
    QWidget *old = m_detail->widget(int(entry));
    const bool shown = m_detail->currentIndex() == int(entry);
    m_bare.remove(int(entry));
    m_detail->insertWidget(int(entry), screen);
    m_detail->removeWidget(old);
    old->deleteLater();
    if (shown)
        m_detail->setCurrentIndex(int(entry));
}

void MainView::setScreenFactory(Entry entry, std::function<QWidget *()> make)
{
    m_factories.insert(int(entry), make);
    if (currentEntry() == entry)
        buildIfWaiting(entry);
}

void MainView::buildIfWaiting(Entry entry)
{
    const std::function<QWidget *()> make = m_factories.take(int(entry));
    if (make)
        setScreen(entry, make());
    else if (m_bare.contains(int(entry)))
        setScreen(entry, notAvailableYet());
}

QWidget *MainView::screen(Entry entry)
{
    buildIfWaiting(entry);
    return m_detail->widget(int(entry));
}

void MainView::toggleSidebar()
{
    setSidebarShown(!sidebarShown());
}

bool MainView::sidebarShown() const
{
    return !m_sidebar->isHidden();
}

void MainView::setSidebarShown(bool shown)
{
    m_sidebar->setVisible(shown);
}
