#pragma once

#include <QString>
#include <QStringList>

namespace tavsms {

// The serial ports this machine has, as the settings screen offers them:
// the ports Qt enumerates (ttyS0, ttyUSB0, ...) followed by the stable
// /dev/serial/by-id names.
QStringList presentSerialPorts();

// A configured system port counts as present when it is listed above or is
// an absolute path to an existing device (a pseudo-terminal, say).
bool isSerialPortPresent(const QString &systemPort);

} // namespace tavsms
