#pragma once

#include <QString>

namespace tavsms::AppInfo {

// The title of the program's windows and of boxes that state no title.
inline QString title() { return QStringLiteral("TAVSMS"); }
// major.minor.revision, as the update check compares it.
QString version();
inline QString statusTagline() { return QStringLiteral("TAVSMS 2 - Bulk SMS Software for GSM and CDMA Mobiles."); }

} // namespace tavsms::AppInfo
