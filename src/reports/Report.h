#pragma once

#include "ReportLayout.h"
#include "ReportRows.h"

#include <functional>
#include <memory>

namespace tavsms {

// A report ready to be previewed, printed or saved: its layout and a way to
// read its rows from the start, as often as it is rendered.
struct Report
{
    QString caption;          // the report window's title
    ReportLayout layout;
    qint64 total = 0;         // rows counted when the report was asked for
    std::function<std::unique_ptr<ReportRows>()> open; // throws DbError
};

} // namespace tavsms
