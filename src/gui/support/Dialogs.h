// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class QWidget;

// The one way the screens open the platform's panels (file choosers, messages, the About
// panel). Tests install an implementation of their own that answers at once, so no test ever
// waits on a modal dialog.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    virtual void about(QWidget *parent, const QString &title, const QString &text) = 0;
    // Tells the user that something they asked for did not happen, and why; does not block.
    virtual void showFailure(QWidget *parent, const QString &title, const QString &text) = 0;
    // Tells the user that something they asked for was done, and where; does not block.
    virtual void showDone(QWidget *parent, const QString &title, const QString &text) = 0;
    // Asks before something that cannot be taken back or that the user may not mean, without
    // blocking: `done` gets true only for `confirm`; Cancel is the default button and Esc.
    virtual void confirm(QWidget *parent, const QString &title, const QString &text,
                         const QString &confirm, std::function<void(bool confirmed)> done) = 0;
    // A panel that picks one existing directory, with the given confirm button; `done` gets
    // its path, or an empty one when the user cancelled.
    virtual void chooseDirectory(QWidget *parent, const QString &prompt,
                                 std::function<void(const QString &path)> done) = 0;
    // A modal panel that picks one existing file of any type; `done` gets its path, or an
    // empty one when the user cancelled.
    virtual void chooseOpenFile(QWidget *parent, const QString &title,
                                std::function<void(const QString &path)> done) = 0;
    // A save panel that does not block: `done` gets the chosen path, or an empty one when the
    // user cancelled. It never offers to replace an existing file.
    virtual void chooseSaveFile(QWidget *parent, const QString &title, const QString &proposedName,
                                std::function<void(const QString &path)> done) = 0;

    // The implementation in use: the real panels unless a test installed another.
    static Dialogs &current();
    // Null puts the real panels back.
    static void install(Dialogs *dialogs);
};
