#include "PortConfig.h"

#include "Database.h"

namespace tavsms {

namespace {

// Every statement reads and writes this workstation's five ports only.
QList<PortConfig> loadRows(Database &db, const QString &where, const QVariantList &params = {})
{
    QList<PortConfig> rows;
    Statement st = db.prepare(QStringLiteral(
        "SELECT softwarePortNo, systemPortNo, deviceType, mobileOperator, allowTwoWay, allowRouting, blockIncoming, "
        "pduMode, deliveryReports FROM config_ports WHERE workstation = ? %1 ORDER BY softwarePortNo").arg(where));
    st.bind(1, db.workstation());
    for (int i = 0; i < params.size(); ++i)
        st.bind(i + 2, params.at(i));
    while (st.next()) {
        rows << PortConfig{st.text(QStringLiteral("softwarePortNo")), st.text(QStringLiteral("systemPortNo")),
                           st.text(QStringLiteral("deviceType")),     st.text(QStringLiteral("mobileOperator")),
                           st.boolean(QStringLiteral("allowTwoWay")), st.boolean(QStringLiteral("allowRouting")),
                           st.boolean(QStringLiteral("blockIncoming")), st.boolean(QStringLiteral("pduMode")),
                           st.boolean(QStringLiteral("deliveryReports"))};
    }
    return rows;
}

} // namespace

QList<PortConfig> PortConfig::loadAll(Database &db)
{
    return loadRows(db, {});
}

QList<PortConfig> PortConfig::loadActive(Database &db)
{
    return loadRows(db, QStringLiteral("AND portActive = 1"));
}

std::optional<PortConfig> PortConfig::ofOperator(Database &db, const QString &operatorName)
{
    const QList<PortConfig> rows = loadRows(db, QStringLiteral("AND mobileOperator = ?"), {operatorName});
    if (rows.isEmpty())
        return std::nullopt;
    return rows.first();
}

QString PortConfig::softwarePortOf(Database &db, const QString &operatorName)
{
    return db.scalar(QStringLiteral("SELECT softwarePortNo FROM config_ports WHERE workstation = ? "
                                    "AND mobileOperator = ? ORDER BY softwarePortNo"),
                     {db.workstation(), operatorName})
        .toString();
}

std::optional<QString> PortConfig::deviceTypeOf(Database &db, const QString &operatorName)
{
    Statement st = db.prepare(QStringLiteral("SELECT deviceType FROM config_ports WHERE workstation = ? "
                                             "AND mobileOperator = ? ORDER BY softwarePortNo"));
    st.bind(1, db.workstation()).bind(2, operatorName);
    if (!st.next())
        return std::nullopt;
    return st.text(QStringLiteral("deviceType"));
}

bool PortConfig::operatorTakenElsewhere(Database &db, const QString &operatorName, const QString &softwarePort)
{
    Statement st = db.prepare(QStringLiteral("SELECT mobileOperator, softwarePortNo FROM config_ports "
                                             "WHERE workstation = ?"));
    st.bind(1, db.workstation());
    while (st.next()) {
        if (st.text(QStringLiteral("mobileOperator")).trimmed() == operatorName
            && st.text(QStringLiteral("softwarePortNo")) != softwarePort)
            return true;
    }
    return false;
}

void PortConfig::saveActive(Database &db, const PortConfig &port)
{
    db.exec(QStringLiteral("UPDATE config_ports SET portActive = 1, systemPortNo = ?, deviceType = ?, "
                           "mobileOperator = ?, allowTwoWay = ?, allowRouting = ?, blockIncoming = ?, pduMode = ?, "
                           "deliveryReports = ? WHERE softwarePortNo = ? AND workstation = ?"),
            {port.systemPortNo, port.deviceType, port.mobileOperator, port.allowTwoWay, port.allowRouting,
             port.blockIncoming, port.pduMode, port.deliveryReports, port.softwarePortNo, db.workstation()});
}

void PortConfig::setActive(Database &db, const QString &softwarePort, bool active)
{
    db.exec(QStringLiteral("UPDATE config_ports SET portActive = ? WHERE softwarePortNo = ? AND workstation = ?"),
            {active, softwarePort, db.workstation()});
}

void PortConfig::resetAll(Database &db)
{
    db.exec(QStringLiteral("UPDATE config_ports SET portActive = 0, systemPortNo = '', deviceType = '', "
                           "allowTwoWay = 0, allowRouting = 0, mobileOperator = '', blockIncoming = 0, "
                           "pduMode = 0, deliveryReports = 0, remarks = '' WHERE workstation = ?"),
            {db.workstation()});
}

} // namespace tavsms
