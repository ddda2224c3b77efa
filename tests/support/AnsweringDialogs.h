// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/support/Dialogs.h"

#include <QStringList>

// Answers every panel at once with what the test chose, and notes what was asked; installed
// for its lifetime.
class AnsweringDialogs : public Dialogs
{
public:
    QString directory;
    QString savePath;
    QString openPath;
    bool confirms = false; // the answer to every question
    QStringList asked;

    AnsweringDialogs() { Dialogs::install(this); }
    ~AnsweringDialogs() override { Dialogs::install(nullptr); }

    void about(QWidget *, const QString &title, const QString &) override { asked << title; }
    void showFailure(QWidget *, const QString &title, const QString &text) override
    {
        asked << title + u':' + text;
    }
    void showDone(QWidget *, const QString &title, const QString &text) override
    {
        asked << title + u':' + text;
    }
    void confirm(QWidget *, const QString &title, const QString &text, const QString &confirm,
                 std::function<void(bool)> done) override
    {
        asked << title + u':' + text + u'[' + confirm + u']';
        done(confirms);
    }
    void chooseDirectory(QWidget *, const QString &prompt,
                         std::function<void(const QString &)> done) override
    {
        asked << prompt;
        done(directory);
    }
    void chooseOpenFile(QWidget *, const QString &title,
                        std::function<void(const QString &)> done) override
    {
        asked << title;
        done(openPath);
    }
    void chooseSaveFile(QWidget *, const QString &title, const QString &proposedName,
                        std::function<void(const QString &)> done) override
    {
        asked << title + u':' + proposedName;
        done(savePath);
    }
};
