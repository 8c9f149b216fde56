#include "NetworkSettings.h"

#include "Database.h"

#include <algorithm>

namespace tavsms {

NetworkSettings NetworkSettings::load(Database &db)
{
    NetworkSettings s;
    Statement st = db.prepare(QStringLiteral(
        "SELECT gatewayHost, updateHost, productSite, listenerPort, parallelRequests, listenAddress, "
        "allowedNetworks FROM config_network WHERE workstation = ? LIMIT 1"));
    st.bind(1, db.workstation());
    if (st.next()) {
        s.gatewayHost = st.text(QStringLiteral("gatewayHost"));
        s.updateHost = st.text(QStringLiteral("updateHost"));
        s.productSite = st.text(QStringLiteral("productSite"));
        s.listenerPort = quint16(st.integer(QStringLiteral("listenerPort")));
        s.parallelRequests = int(std::clamp<qint64>(st.integer(QStringLiteral("parallelRequests")), kFewestParallel,
                                                    kMostParallel));
        s.listenAddress = st.text(QStringLiteral("listenAddress"));
        s.allowedNetworks = st.text(QStringLiteral("allowedNetworks"));
    }
    return s;
}

void NetworkSettings::save(Database &db) const
{
    db.exec(QStringLiteral("UPDATE config_network SET gatewayHost = ?, updateHost = ?, productSite = ?, "
                           "listenerPort = ?, parallelRequests = ?, listenAddress = ?, allowedNetworks = ? WHERE workstation = ?"),
            {gatewayHost, updateHost, productSite, int(listenerPort),
             std::clamp(parallelRequests, kFewestParallel, kMostParallel), listenAddress, allowedNetworks,
             db.workstation()});
}

std::optional<NetworkSettings::Listener> NetworkSettings::listener(QString *why) const
{
    Listener out;
    const QString address = listenAddress.trimmed();
    if (address.isEmpty()) {
        out.address = QHostAddress::Any;
    } else if (const std::optional<QHostAddress> parsed = parseIpAddress(address)) {
        out.address = *parsed;
    } else {
        *why = QStringLiteral("Listen address: '%1' is not an IP address.").arg(address);
        return std::nullopt;
    }
    QString bad;
    std::optional<AllowedNetworks> allowed = AllowedNetworks::parse(allowedNetworks, &bad);
    if (!allowed) {
        *why = bad.isEmpty() ? QStringLiteral("Allowed networks: give at least one network, such as 127.0.0.0/8.")
                             : QStringLiteral("Allowed networks: '%1' is not a network.").arg(bad);
        return std::nullopt;
    }
    out.allowed = std::move(*allowed);
    why->clear();
    return out;
}

} // namespace tavsms
