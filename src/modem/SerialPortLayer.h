#pragma once

#include <QString>
#include <QStringList>

namespace tavsms::SerialPortLayer {

// Serial ports present on this machine: the names QSerialPortInfo reports
// (ttyS0, ttyUSB0 …) followed by the stable paths under /dev/serial/by-id.
QStringList availablePorts();

// A configured system port counts as present when it is one of the names
// above, or an absolute path to an existing terminal device (a by-id link,
// a pseudo-terminal).
bool isPresent(const QString &systemPortNo);

// The device to open: a name without a slash lives in /dev.
QString devicePath(const QString &systemPortNo);

// A terminal device is at the port's path now (a link is followed). One
// stat(), cheap enough to ask every few seconds while a device is away.
bool deviceExists(const QString &systemPortNo);

} // namespace tavsms::SerialPortLayer
