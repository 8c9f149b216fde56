#include "NetworkSettings.h"

#include "Database.h"

#include <algorithm>

namespace tavsms {

NetworkSettings NetworkSettings::load(Database &db)
{
    NetworkSettings s;
    Statement st = db.prepare(QStringLiteral(
        "SELECT gatewayHost, updateHost, productSite, listenerPort, parallelRequests FROM config_network LIMIT 1"));
    if (st.next()) {
        s.gatewayHost = st.text(QStringLiteral("gatewayHost"));
        s.updateHost = st.text(QStringLiteral("updateHost"));
        s.productSite = st.text(QStringLiteral("productSite"));
        s.listenerPort = quint16(st.integer(QStringLiteral("listenerPort")));
        s.parallelRequests = int(std::clamp<qint64>(st.integer(QStringLiteral("parallelRequests")), kFewestParallel,
                                                    kMostParallel));
    }
    return s;
}

void NetworkSettings::save(Database &db) const
{
    db.exec(QStringLiteral("UPDATE config_network SET gatewayHost = ?, updateHost = ?, productSite = ?, "
                           "listenerPort = ?, parallelRequests = ?"),
            {gatewayHost, updateHost, productSite, int(listenerPort),
             std::clamp(parallelRequests, kFewestParallel, kMostParallel)});
}

} // namespace tavsms
