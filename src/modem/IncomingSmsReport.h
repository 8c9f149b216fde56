#pragma once

#include "IncomingLog.h"

#include <QStringList>

namespace tavsms::IncomingSmsReport {

// Captions of the incoming-message list, in column order.
QStringList captions();

// A date-time as the list and the report show it.
QString timeText(const QDateTime &when);

// The four shown values of one row: stored time, the phone's time stamp,
// sender, text.
QStringList cells(const IncomingRow &row);

} // namespace tavsms::IncomingSmsReport
