// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QSet>
#include <QWidget>

#include <functional>

class NotificationCenter;
class QListView;
class QStackedWidget;
class QStandardItemModel;

// The content of a main window: the sidebar with its five entries and the detail beside it.
// Each screen is built by its own part of the program and put in with `setScreen`; until then
// its entry shows, once selected, that it is not available yet.
class MainView : public QWidget
{
    Q_OBJECT

public:
    enum class Entry
    {
        watchers,
        todo,
        configurations,
        statistics,
        history,
    };

    explicit MainView(NotificationCenter &notifications, QWidget *parent = nullptr);

    Entry currentEntry() const;
    void select(Entry entry);
    void setScreen(Entry entry, QWidget *screen);
    // Built when the entry is first shown: the window opens without waiting for screens the
    // user may never visit.
    void setScreenFactory(Entry entry, std::function<QWidget *()> make);
    // The entry's screen, built now if it was waiting to be.
    QWidget *screen(Entry entry);

    QListView *sidebar() const { return m_sidebar; }
    void toggleSidebar();
    // Whether the user keeps the sidebar, even while the window is hidden.
    bool sidebarShown() const;
    void setSidebarShown(bool shown);

private:
    void buildIfWaiting(Entry entry);

    QHash<int, std::function<QWidget *()>> m_factories; // by entry
    QSet<int> m_bare; // entries whose place holds an empty widget until shown
    QStandardItemModel *m_entries;
    QListView *m_sidebar;
    QStackedWidget *m_detail;
};
