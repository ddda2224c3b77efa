// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <functional>

class QListView;
class QPushButton;
class StatusBarViewModel;

// The tray icon's popover: the watchers and whether each runs, and the buttons to open the
// app, quit it or export the log. A popup, closed by a click elsewhere.
class StatusBarView : public QWidget
{
    Q_OBJECT

public:
    StatusBarView(StatusBarViewModel &model, std::function<void()> openApp,
                  std::function<void()> closeApp, QWidget *parent = nullptr);

    // Shown by `anchor` (the tray icon), or by the cursor when the tray gives no place, and
    // always whole on the screen; hidden instead when it is showing.
    void toggleNear(const QRect &anchor);

    QListView *list() const { return m_list; }
    QPushButton *openAppButton() const { return m_openApp; }
    QPushButton *closeAppButton() const { return m_closeApp; }
    QPushButton *exportLogButton() const { return m_exportLog; }

private:
    QListView *m_list;
    QPushButton *m_openApp;
    QPushButton *m_closeApp;
    QPushButton *m_exportLog;
};
