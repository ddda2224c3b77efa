// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace LogExport {

// Offers to save a copy of the log ("Export Logs", proposing "sprucer.log") without blocking,
// then says where it went or why it did not; every outcome, a missing log included, is also
// written to the log itself.
void exportLogs(QWidget *parent);

} // namespace LogExport
