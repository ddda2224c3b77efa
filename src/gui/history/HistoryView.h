// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/services/FixUndo.h"

#include <QWidget>

#include <functional>
#include <memory>

class CodeEditor;
class FixHistoryModel;
class FixJournal;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class SerialQueue;

// The "History" screen: the fixes kept, grouped by day and by run, a search by path, the diff
// of the selected fix (read-only) and "Undo" for a fix, or for every fix of a run from its
// header. The selection stays on its fix while new fixes come in. Undos run off the window's
// thread: each syncs the file it puts back, and may wait while a formatter holds that file.
class HistoryView : public QWidget
{
    Q_OBJECT

public:
    HistoryView(FixJournal &journal, FixUndo &undo, QWidget *parent = nullptr);
    ~HistoryView() override; // waits for an undo under way

    FixHistoryModel *model() const { return m_model; }
    QListView *list() const { return m_list; }
    QLineEdit *searchField() const { return m_search; }
    CodeEditor *diffView() const { return m_diff; }
    QPushButton *undoButton() const { return m_undo; }
    QLabel *statusLine() const { return m_status; }

    // Selects the fix, or the run's header; false when it is not shown.
    bool selectFix(quint64 id);
    bool selectRun(const QString &run);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void makeList();
    QWidget *makeDetail();
    void showSelected();
    void undoSelected();
    void undoRun(const QString &run);
    void showUndone(const FixUndo::Outcome &outcome);
    void showRunUndone(const FixUndo::RunOutcome &outcome);
    // Runs `undo` off the window's thread, then `shown` on it, the button off meanwhile.
    void undoAside(const QString &working, std::function<std::function<void()>()> undo);
    void keepSelection();
    void restoreSelection();
    int selectedRow() const;

    FixJournal &m_journal;
    FixUndo &m_fixUndo;
    FixHistoryModel *m_model;
    QLineEdit *m_search;
    QListView *m_list;
    CodeEditor *m_diff;
    QPushButton *m_undo;
    QLabel *m_status;
    quint64 m_keptFix = 0;
    QString m_keptRun;
    bool m_undoing = false;
    std::unique_ptr<SerialQueue> m_undoQueue;
};
