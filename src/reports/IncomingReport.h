#pragma once

#include "Report.h"

namespace tavsms {

class Database;

// The "Incoming SMS" report: the stored received messages, newest first, with
// the columns of the incoming-message list. Throws DbError when they cannot
// be counted.
Report incomingSmsReport(Database &db);

} // namespace tavsms
