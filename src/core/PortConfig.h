#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tavsms {

class Database;

// The device types a port can be set to, in the order the settings list them.
inline const QStringList kDeviceTypes = {QStringLiteral("CDMA Mobile - Nokia"), QStringLiteral("GSM Mobile - Nokia"),
                                         QStringLiteral("GSM Mobile - Other"), QStringLiteral("GSM Modem - TAV"),
                                         QStringLiteral("GSM Modem - Other")};
// The one type spoken to in the CDMA form; every other value is GSM.
inline const QString kCdmaDeviceType = QStringLiteral("CDMA Mobile - Nokia");

// One row of config_ports.
struct PortConfig
{
    QString softwarePortNo;
    QString systemPortNo;
    QString deviceType;
    QString mobileOperator;
    bool allowTwoWay = false;
    bool allowRouting = false;
    bool blockIncoming = false;

    // The rows with portActive set, COM1 first. Throws DbError.
    static QList<PortConfig> loadActive(Database &db);
};

} // namespace tavsms
