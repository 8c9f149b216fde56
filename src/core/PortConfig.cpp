#include "PortConfig.h"

#include "Database.h"

namespace tavsms {

QList<PortConfig> PortConfig::loadActive(Database &db)
{
    QList<PortConfig> rows;
    Statement st = db.prepare(QStringLiteral(
        "SELECT softwarePortNo, systemPortNo, deviceType, mobileOperator, allowTwoWay, allowRouting, blockIncoming "
        "FROM config_ports WHERE portActive = 1 ORDER BY softwarePortNo"));
    while (st.next()) {
        rows << PortConfig{st.text(QStringLiteral("softwarePortNo")), st.text(QStringLiteral("systemPortNo")),
                           st.text(QStringLiteral("deviceType")),     st.text(QStringLiteral("mobileOperator")),
                           st.boolean(QStringLiteral("allowTwoWay")), st.boolean(QStringLiteral("allowRouting")),
                           st.boolean(QStringLiteral("blockIncoming"))};
    }
    return rows;
}

} // namespace tavsms
