#pragma once

#include "AllowedNetworks.h"

#include <QHostAddress>
#include <QString>

namespace tavsms {

class Database;

// Where the Internet channels reach out to and listen on (config_network).
// The hosts are "name" or "name:port"; requests go to http://host/path.
struct NetworkSettings
{
    QString gatewayHost;
    QString updateHost;
    QString productSite;
    quint16 listenerPort = 8081;
    QString listenAddress; // empty: every interface
    QString allowedNetworks = AllowedNetworks::kDefault;
    // Gateway requests the sender may have out at once.
    int parallelRequests = 8;
    static constexpr int kFewestParallel = 1;
    static constexpr int kMostParallel = 32;

    // Throws DbError. A stored count out of range is read as the nearest bound.
    static NetworkSettings load(Database &db);
    void save(Database &db) const;

    // The listener's address and allow-list as the listener takes them.
    struct Listener
    {
        QHostAddress address;
        AllowedNetworks allowed;
    };
    // Empty `why` on success; else what to tell the operator, naming the bad entry.
    std::optional<Listener> listener(QString *why) const;
};

} // namespace tavsms
