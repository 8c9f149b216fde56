#include "SerialPortLayer.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <sys/stat.h>

namespace tavsms::SerialPortLayer {

namespace {
const QString kById = QStringLiteral("/dev/serial/by-id");

bool isCharacterDevice(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}
} // namespace

QStringList availablePorts()
{
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names << info.portName();
    const QDir byId(kById);
    for (const QString &entry : byId.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
        names << byId.filePath(entry);
    names.removeDuplicates();
    return names;
}

bool isPresent(const QString &systemPortNo)
{
    if (systemPortNo.isEmpty())
        return false;
    if (availablePorts().contains(systemPortNo))
        return true;
    return QFileInfo(systemPortNo).isAbsolute() && isCharacterDevice(systemPortNo);
}

QString devicePath(const QString &systemPortNo)
{
    if (systemPortNo.contains(QLatin1Char('/')))
        return systemPortNo;
    return QStringLiteral("/dev/") + systemPortNo;
}

bool deviceExists(const QString &systemPortNo)
{
    return !systemPortNo.isEmpty() && isCharacterDevice(devicePath(systemPortNo));
}

} // namespace tavsms::SerialPortLayer
