#include "SerialPortPresence.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace tavsms {

QStringList presentSerialPorts()
{
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names << info.portName();
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QString &entry : byId.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
        names << byId.filePath(entry);
    return names;
}

bool isSerialPortPresent(const QString &systemPort)
{
    if (systemPort.isEmpty())
        return false;
    if (presentSerialPorts().contains(systemPort))
        return true;
    const QFileInfo file(systemPort);
    return file.isAbsolute() && file.exists() && !file.isDir();
}

} // namespace tavsms
