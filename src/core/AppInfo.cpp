#include "AppInfo.h"

#include "Prompter.h"

namespace tavsms {

QString AppInfo::version()
{
    return QStringLiteral("%1.%2.%3").arg(TAVSMS_VERSION_MAJOR).arg(TAVSMS_VERSION_MINOR).arg(TAVSMS_VERSION_PATCH);
}

QString applicationTitle()
{
    return AppInfo::title();
}

} // namespace tavsms
