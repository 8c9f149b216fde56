#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tavsms {

class Database;

// The device types a port can be set to, in the order the settings list them.
inline const QStringList kDeviceTypes = {QStringLiteral("CDMA Mobile - Nokia"), QStringLiteral("GSM Mobile - Nokia"),
                                         QStringLiteral("GSM Mobile - Other"), QStringLiteral("GSM Modem - TAV"),
                                         QStringLiteral("GSM Modem - Other")};
// The one type spoken to in the CDMA form; every other value is GSM.
inline const QString kCdmaDeviceType = QStringLiteral("CDMA Mobile - Nokia");

// One row of config_ports, and every statement on that table. Each function
// throws DbError.
struct PortConfig
{
    QString softwarePortNo;
    QString systemPortNo;
    QString deviceType;
    QString mobileOperator;
    bool allowTwoWay = false;
    bool allowRouting = false;
    bool blockIncoming = false;
    bool pduMode = false; // as ticked; a CDMA port ignores it
    bool deliveryReports = false; // "Request delivery reports"; a CDMA port ignores it

    // Whether the port speaks PDU mode: Unicode and long messages, GSM only.
    bool usesPdu() const { return pduMode && deviceType != kCdmaDeviceType; }
    bool asksReports() const { return deliveryReports && deviceType != kCdmaDeviceType; }

    // All five rows, active or not, COM1 first.
    static QList<PortConfig> loadAll(Database &db);
    // The rows with portActive set, COM1 first.
    static QList<PortConfig> loadActive(Database &db);
    // The first port whose operator is stored exactly as `operatorName`.
    static std::optional<PortConfig> ofOperator(Database &db, const QString &operatorName);
    // The software port ("COM1" …) whose operator is stored exactly as
    // `operatorName`; empty when there is none.
    static QString softwarePortOf(Database &db, const QString &operatorName);
    // The device type of the first port whose operator is stored exactly as
    // `operatorName`; nothing when there is none.
    static std::optional<QString> deviceTypeOf(Database &db, const QString &operatorName);
    // Whether a port other than `softwarePort`, active or not, holds the
    // name. Stored names are compared without their outer blanks, which
    // rows written before names were trimmed may still carry.
    static bool operatorTakenElsewhere(Database &db, const QString &operatorName, const QString &softwarePort);

    // Writes `port`'s fields to its row and switches it on.
    static void saveActive(Database &db, const PortConfig &port);
    // Switches a port on or off; its other fields stay.
    static void setActive(Database &db, const QString &softwarePort, bool active);
    // Every port off and empty, remarks included.
    static void resetAll(Database &db);
};

} // namespace tavsms
