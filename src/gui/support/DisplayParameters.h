// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QScreen>

#include <memory>

class ParameterBoard;

// What only the GUI knows for the analytics: the screen, its orientation, the colour scheme and
// the motion preference. Published on the board at once and again whenever one changes.
class DisplayParameters : public QObject
{
    Q_OBJECT

public:
    explicit DisplayParameters(std::shared_ptr<ParameterBoard> board, QObject *parent = nullptr);

    static QMap<QString, QString> current();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void followScreen(QScreen *screen);
    void publish();

    std::shared_ptr<ParameterBoard> m_board;
    QPointer<QScreen> m_screen;
};
