#include "DataDirectory.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tavsms::DataDirectory {

QString path()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString databasePath()
{
    return QDir(path()).filePath(QStringLiteral("tavsms.mdb"));
}

QString debugLogPath()
{
    return QDir(path()).filePath(QStringLiteral("debug.txt"));
}

QString ensureExists()
{
    const QString dir = path();
    if (dir.isEmpty())
        return QStringLiteral("No per-user data directory is known (is HOME set?).");
    if (!QDir().mkpath(dir))
        return QStringLiteral("Cannot create the data directory %1.").arg(dir);
    if (!QFileInfo(dir).isWritable())
        return QStringLiteral("The data directory %1 is not writable.").arg(dir);
    return {};
}

} // namespace tavsms::DataDirectory
