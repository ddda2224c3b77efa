// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class NotificationCenter;
class QListView;
class QStackedWidget;
class QStandardItemModel;

// The content of a main window: the sidebar with its four entries and the detail beside it.
// Each screen is built by its own part of the program and put in with `setScreen`; until then
// its entry shows that it is not available yet.
class MainView : public QWidget
{
    Q_OBJECT

public:
    enum class Entry
    {
        watchers,
        todo,
        configurations,
        statistics
    };

    explicit MainView(NotificationCenter &notifications, QWidget *parent = nullptr);

    Entry currentEntry() const;
    void select(Entry entry);
    void setScreen(Entry entry, QWidget *screen);
    QWidget *screen(Entry entry) const;

    QListView *sidebar() const { return m_sidebar; }
    void toggleSidebar();

private:
    QStandardItemModel *m_entries;
    QListView *m_sidebar;
    QStackedWidget *m_detail;
};
