// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

// Date styles Qt does not offer as formats of its own.
namespace DateStyles {

// The locale's long date format without the weekday and with the month abbreviated, as
// "MMM d, yyyy" in en_US: the medium style of the platforms that have one.
QString mediumFormat(const QLocale &locale);
// "Mar 1, 2025" in en_US.
QString medium(QDate date, const QLocale &locale);

} // namespace DateStyles
