#pragma once

#include "Report.h"
#include "TableQuery.h"

namespace tavsms {

class Database;

// The "Incoming SMS" report: the stored received messages, newest first, with
// the columns of the incoming-message list. Throws DbError when they cannot
// be counted.
Report incomingSmsReport(Database &db);

// The incoming-message list: the same rows, columns and cell texts as the
// report, read a page at a time.
TableQuery incomingSmsList();

} // namespace tavsms
