#include "DataDirectory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

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
    if (const QString why = makePrivate(dir); !why.isEmpty())
        return QStringLiteral("Cannot close the data directory %1 to other users: %2.").arg(dir, why);
    if (!QFileInfo(dir).isWritable())
        return QStringLiteral("The data directory %1 is not writable.").arg(dir);
    return {};
}

QString makePrivate(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (::lstat(native.constData(), &st) != 0)
        return errno == ENOENT ? QString() : QString::fromLocal8Bit(std::strerror(errno));
    // chmod would change the link's target, which may be anybody's file.
    if (S_ISLNK(st.st_mode))
        return {};
    const mode_t keep = S_ISDIR(st.st_mode) ? S_IRWXU : (S_IRUSR | S_IWUSR);
    const mode_t wanted = st.st_mode & keep;
    if ((st.st_mode & 07777) == wanted)
        return {};
    if (::chmod(native.constData(), wanted) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return {};
}

void makeFilesPrivate()
{
    const QFileInfoList files =
        QDir(path()).entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    // A file that cannot be changed is not ours (only root puts one into a
    // directory closed to others); it is left as it is.
    for (const QFileInfo &file : files)
        makePrivate(file.filePath());
}

} // namespace tavsms::DataDirectory
