// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

// What could be read of a stored list: the elements that decode, and why any others did not.
// A damaged list keeps its readable part, so a later write does not lose what the user had.
template <typename T>
struct SalvagedList
{
    QList<T> items;
    // The first fault found; empty when the whole list was read.
    QString fault;

    bool whole() const { return fault.isEmpty(); }
    void drop(const QString &reason)
    {
        if (fault.isEmpty())
            fault = reason;
    }
};
